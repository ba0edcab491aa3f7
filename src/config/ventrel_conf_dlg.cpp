#include "config/ventrel_conf_dlg.h"

#include "config/texts.h"
#include "locator/find_system_paths.h"
#include "utility/ini/ini.h"
#include "utility/platform/message_sink.h"
#include "utility/platform/path.h"
#include "utility/sdk_util.h"
#include "utility/text.h"

namespace ventrel {
namespace {

// "%s<separator>%s": with an empty folder the name is left at the root, as in the message the
// user sees; has_data_folder keeps anything from being read or written there.
std::string InDataFolder(const std::string& folder, std::string_view name) {
  return folder + kPathSeparator + std::string(name);
}

}  // namespace

namespace {

std::string_view ReasonFor(WriteFailure failure) {
  switch (failure) {
    case WriteFailure::kHeldOpen:
      return texts::kWriteFailedHeldOpen;
    case WriteFailure::kNoPermission:
      return texts::kWriteFailedNoPermission;
    case WriteFailure::kDiskFull:
      return texts::kWriteFailedDiskFull;
    case WriteFailure::kKeptChanging:
      return texts::kWriteFailedKeptChanging;
    case WriteFailure::kAttributesNotKept:
      return texts::kWriteFailedAttributes;
    case WriteFailure::kNone:
    case WriteFailure::kOther:
      break;
  }
  return {};
}

}  // namespace

std::string WriteFailedMessage(const std::string& path, WriteResult written) {
  std::string message = FillInMessage(written ? texts::kWritten : texts::kWriteFailed, path);
  for (const std::string_view part :
       {ReasonFor(written.failure), written.kept_copy ? texts::kKeptCopy : std::string_view()}) {
    if (!part.empty()) {
      message += " " + std::string(part);
    }
  }
  return message;
}

CVentrelConfDlg::CVentrelConfDlg() {
  // Only the data folder matters here: a failure leaves it empty, or as it was, which is empty too,
  // whatever layout code comes back.
  std::string data_folder;
  FindSystemPaths(data_folder);
  context_.has_data_folder = !data_folder.empty();
  context_.board_path = InDataFolder(data_folder, texts::kBoardFileName);
  if (!context_.has_data_folder || !CSdkUtil::Exist(context_.board_path)) {
    ShowErrorBox(FillInMessage(texts::kFileNotFound, context_.board_path));
    return;
  }
  context_.catalogue_path = InDataFolder(data_folder, texts::kCatalogueFileName);
  if (!CSdkUtil::Exist(context_.catalogue_path)) {
    ShowErrorBox(FillInMessage(texts::kFileNotFound, context_.catalogue_path));
  }
}

ModelCode CVentrelConfDlg::ReadCurrentModel() const {
  if (!context_.has_data_folder) {
    return kNoModel;
  }
  CIni ini;
  int type = kNoModel;
  ini.Donne(type, texts::kTypeKey, kNoModel, texts::kBoardSection, context_.board_path);
  if (type != k3dBoard && type != k3dBoardV2) {
    return type;
  }
  int sub_type = k3dBoard;
  ini.Donne(sub_type, texts::kSubTypeKey, k3dBoard, texts::kBoardSection, context_.board_path);
  return sub_type;
}

std::vector<DisplayEntry> CVentrelConfDlg::ReadDisplayNames() const {
  std::vector<DisplayEntry> entries;
  CIni ini;
  for (const ModelInfo& model : kModels) {
    std::string text;
    ini.Donne(text, texts::kDisplayKey, texts::kNoDisplayName, model.catalogue_section,
              context_.catalogue_path);
    if (text != texts::kNoDisplayName) {
      entries.push_back({text, model.code});
    }
  }
  return entries;
}

bool CVentrelConfDlg::SetModel(ModelCode code) {
  if (!IsModel(code)) {
    ShowErrorBox(std::string(texts::kImproperModel));
    return false;
  }
  // TYPE_SUB goes first, so that a driver reading TYPE=300 finds the version it belongs to; both
  // go in one replacement, so that no reader ever sees one without the other.
  const std::string sub_type = std::to_string(code);
  const std::string type = std::to_string(Is3dModel(code) ? k3dBoard : code);
  std::vector<IniEntry> entries;
  if (Is3dModel(code)) {
    entries.push_back({texts::kSubTypeKey, sub_type});
  }
  entries.push_back({texts::kTypeKey, type});
  CIni ini;
  const WriteResult written = context_.has_data_folder
                                  ? ini.Affecte(entries, texts::kBoardSection, context_.board_path)
                                  : WriteResult{WriteFailure::kOther};
  if (!written || written.kept_copy) {
    ShowErrorBox(WriteFailedMessage(context_.board_path, written));
  }
  return static_cast<bool>(written);
}

}  // namespace ventrel
