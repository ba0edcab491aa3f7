#include "utility/sdk_util.h"

#include "utility/platform/folders.h"
#include "utility/platform/path.h"
#include "utility/store/file_store.h"

namespace ventrel {
namespace {

bool Resolve(const std::string& root, std::string_view relative, std::string& out) {
  if (root.empty()) {
    return false;
  }
  out = PathAppend(root, relative);
  return CSdkUtil::Exist(out);
}

}  // namespace

bool CSdkUtil::Exist(const std::string& path) {
  return IsExistingFile(path);
}

bool CSdkUtil::ProgramFiles(std::string_view relative, std::vector<std::string>& out) {
  out.clear();
  for (const std::string& root : CurrentFolders().ProgramsFolders()) {
    std::string resolved;
    if (Resolve(root, relative, resolved)) {
      out.push_back(std::move(resolved));
    }
  }
  return !out.empty();
}

bool CSdkUtil::Local(std::string_view relative, std::string& out) {
  return Resolve(CurrentFolders().LocalBaseFolder(), relative, out);
}

bool CSdkUtil::AppData(std::string_view relative, std::string& out) {
  return Resolve(CurrentFolders().AppDataFolder(), relative, out);
}

}  // namespace ventrel
