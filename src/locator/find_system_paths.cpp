#include "locator/find_system_paths.h"

#include <algorithm>
#include <optional>

#include "locator/texts.h"
#include "utility/ini/ini.h"
#include "utility/platform/folders.h"
#include "utility/platform/message_sink.h"
#include "utility/platform/path.h"
#include "utility/sdk_util.h"
#include "utility/text.h"

namespace ventrel {
namespace {

std::string JoinAll(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (const std::string_view part : parts) {
    out = PathAppend(out, part);
  }
  return out;
}

std::optional<InstallLayout> FindInstalledLayout(const std::string& exe_path,
                                                 const std::string& exe_name) {
  // Row by row, and within a row programs folder by programs folder: the same product may sit
  // under both folders, and only the copy that is running counts.
  for (const Brand& brand : BrandTable) {
    std::vector<std::string> resolved;
    if (CSdkUtil::ProgramFiles(JoinAll({brand.brand_folder, brand.product_folder, exe_name}),
                               resolved) &&
        std::ranges::any_of(resolved, [&](const std::string& path) {
          return PathsEqualIgnoringCase(path, exe_path);
        })) {
      return brand.installed;
    }
  }
  return std::nullopt;
}

// The marker of each row is the INI beside the executable's name in that row's product folder;
// a row matches when its marker names the row's manufacturer.
InstallLayout FindLocalLayout(const std::string& base, const std::string& exe_name) {
  for (const Brand& brand : BrandTable) {
    const std::string marker =
        PathReplaceExtension(JoinAll({base, brand.product_folder, exe_name}), texts::kIniExtension);
    std::string manufacturer;
    CIni ini;
    if (ini.Donne(manufacturer, texts::kMarkerKey, brand.manufacturer, texts::kMarkerSection,
                  marker) &&
        EqualsIgnoreAsciiCase(manufacturer, brand.manufacturer)) {
      return brand.local;
    }
  }
  return BrandTable[0].local;
}

}  // namespace

InstallLayout FindSystemPaths(std::string& data_folder) {
  const std::string exe_path = CurrentFolders().ExePath();
  const std::string exe_name = PathLastComponent(exe_path);
  const std::string ini_name = PathReplaceExtension(exe_name, texts::kIniExtension);

  InstallLayout layout = kNoLayoutFound;
  if (const auto installed = FindInstalledLayout(exe_path, exe_name)) {
    layout = *installed;
  } else {
    std::string local_exe;
    if (!CSdkUtil::Local(exe_name, local_exe)) {
      ShowErrorBox(FillInMessage(texts::kLocatorFailed, exe_path));
      return kNoLayoutFound;
    }
    layout = FindLocalLayout(PathFolderPart(local_exe), exe_name);
  }

  const Brand& brand = BrandOf(layout);
  std::string resolved;
  const bool found =
      IsInstalledLayout(layout)
          ? CSdkUtil::AppData(JoinAll({brand.brand_folder, brand.product_folder, ini_name}),
                              resolved)
          : CSdkUtil::Local(JoinAll({brand.product_folder, ini_name}), resolved);
  if (!found) {
    data_folder.clear();
    ShowErrorBox(FillInMessage(texts::kIniNotFound, ini_name));
    return layout;
  }
  data_folder = PathFolderPart(resolved);
  return layout;
}

}  // namespace ventrel
