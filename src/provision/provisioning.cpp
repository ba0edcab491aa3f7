#include "provision/provisioning.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <utility>

#include "config/texts.h"
#include "config/ventrel_conf_dlg.h"
#include "locator/find_system_paths.h"
#include "provision/texts.h"
#include "utility/ini/ini.h"
#include "utility/platform/folders.h"
#include "utility/platform/message_sink.h"
#include "utility/platform/path.h"
#include "utility/sdk_util.h"
#include "utility/store/file_store.h"
#include "utility/text.h"

namespace ventrel {
namespace {

// The folders as the installed program would see them: its own path, so that the locator finds
// the program's layout and data folder, and the real folder roots. The messages the program would
// show go into the log: the step has no one to show them to, and a box would hold up the logon or
// the silent install that started it. The step meets the platform's seams here alone.
class StandInPlatform final : public PlatformFolders, public MessageSink {
 public:
  StandInPlatform(std::string program_path, std::vector<std::string>& log)
      : underlying_(CurrentFolders()),
        program_path_(std::move(program_path)),
        log_(log),
        previous_(SubstituteFolders(this)),
        messages_(*this) {}
  StandInPlatform(const StandInPlatform&) = delete;
  StandInPlatform& operator=(const StandInPlatform&) = delete;
  ~StandInPlatform() override { SubstituteFolders(previous_); }

  std::string ExePath() const override { return program_path_; }
  std::vector<std::string> ProgramsFolders() const override {
    return underlying_.ProgramsFolders();
  }
  std::string AppDataFolder() const override { return underlying_.AppDataFolder(); }
  std::string LocalBaseFolder() const override { return underlying_.LocalBaseFolder(); }
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon) override {
    log_.push_back(caption + ": " + text);
  }

 private:
  const PlatformFolders& underlying_;
  std::string program_path_;
  std::vector<std::string>& log_;
  const PlatformFolders* previous_;
  MessageSinkScope messages_;
};

// The program beside the step, with the step's own extension (".exe" on Windows, none here).
std::string ProgramBeside(const std::string& step_path) {
  const std::string name = PathLastComponent(step_path);
  const std::string extension = name.substr(PathReplaceExtension(name, "").size());
  return PathAppend(PathFolderPart(step_path), std::string(texts::kProgramStem) + extension);
}

std::string MachineFile(const std::string& step_path, std::string_view name) {
  return PathAppend(PathAppend(PathFolderPart(step_path), texts::kMachineFolder), name);
}

ProvisioningOutcome& Fail(ProvisioningOutcome& outcome, std::string_view pattern,
                          std::string_view argument) {
  outcome.log.push_back(FillInMessage(pattern, argument));
  outcome.status = 1;
  return outcome;
}

// Where the user has no catalogue, the locator finds no data folder: it is the one the program's
// installed layout names, under the user's application data. Sets `data_folder` to it.
bool LayOutCatalogue(const Brand& brand, const std::string& machine_catalogue,
                     ProvisioningSystem& system, std::string& data_folder,
                     ProvisioningOutcome& outcome) {
  const std::string app_data = CurrentFolders().AppDataFolder();
  if (app_data.empty()) {
    Fail(outcome, texts::kNoUserFolder, "");
    return false;
  }
  const std::string folder =
      PathAppend(PathAppend(app_data, brand.brand_folder), brand.product_folder);
  if (!system.CreateFolders(folder)) {
    Fail(outcome, texts::kFolderNotCreated, folder);
    return false;
  }
  std::string bytes;
  if (ReadWholeFile(machine_catalogue, bytes) != ReadResult::kOk) {
    Fail(outcome, texts::kMachineCopyUnreadable, machine_catalogue);
    return false;
  }
  const std::string catalogue = PathAppend(folder, texts::kCatalogueFileName);
  const WriteResult written = UpdateWholeFile(catalogue, [&](std::string& content) {
    if (!content.empty()) {
      return EditResult::kUnchanged;  // one the user made in the meantime stays
    }
    content = bytes;
    return EditResult::kChanged;
  });
  if (!written) {
    Fail(outcome, texts::kCatalogueNotLaidOut, catalogue);
    return false;
  }
  outcome.log.push_back(FillInMessage(texts::kCatalogueLaidOut, catalogue));
  data_folder = folder;
  return true;
}

using VersionParts = std::array<unsigned long, 4>;

// Up to four decimal numbers separated by commas, as Active Setup reads a Version; false for
// anything else.
bool ParseVersion(std::string_view text, VersionParts& parts) {
  parts = {};
  std::size_t index = 0;
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  for (;;) {
    if (index == parts.size()) {
      return false;
    }
    const auto [next, error] = std::from_chars(at, end, parts[index]);
    if (error != std::errc() || next == at) {
      return false;
    }
    ++index;
    if (next == end) {
      return true;
    }
    if (*next != ',') {
      return false;
    }
    at = next + 1;
  }
}

}  // namespace

bool WritesIntoProfileOf(std::string_view account_sid) {
  for (const std::string_view service : {"S-1-5-18", "S-1-5-19", "S-1-5-20"}) {
    if (EqualsIgnoreAsciiCase(account_sid, service)) {
      return false;
    }
  }
  return true;
}

ProvisioningOutcome ProvisionUser(const std::string& step_path, ProvisioningSystem& system) {
  ProvisioningOutcome outcome;
  if (!WritesIntoProfileOf(system.AccountSid())) {
    outcome.log.emplace_back(texts::kReachesEachUserAtLogon);
    return outcome;
  }

  const std::string model_file = MachineFile(step_path, texts::kMachineModelFile);
  ModelCode code = kNoModel;
  if (CIni().Donne(code, texts::kMachineModelKey, kNoModel, texts::kMachineSection, model_file) &&
      !IsModel(code)) {
    return Fail(outcome, texts::kImproperMachineModel, model_file);
  }

  StandInPlatform platform(ProgramBeside(step_path), outcome.log);
  std::string data_folder;
  // What the locator says of a missing catalogue is no error here: the step lays one out, and
  // says so instead.
  const std::size_t located_from = outcome.log.size();
  const InstallLayout layout = FindSystemPaths(data_folder);
  if (!IsInstalledLayout(layout)) {
    return Fail(outcome, texts::kNotInstalled, platform.ExePath());
  }
  if (!data_folder.empty()) {
    outcome.log.push_back(
        FillInMessage(texts::kCatalogueKept, PathAppend(data_folder, texts::kCatalogueFileName)));
  } else {
    outcome.log.resize(located_from);
    if (!LayOutCatalogue(BrandOf(layout), MachineFile(step_path, texts::kCatalogueFileName), system,
                         data_folder, outcome)) {
      return outcome;
    }
  }

  if (code == kNoModel) {
    outcome.log.emplace_back(texts::kNoMachineModel);
    return outcome;
  }
  const std::string board = PathAppend(data_folder, texts::kBoardFileName);
  const bool board_missing = !CSdkUtil::Exist(board);
  // The program's own opening and writer: the same file, the same rules, the same messages, but
  // for the opening's word on a missing board file, which the step creates, and says so.
  const std::size_t opened_from = outcome.log.size();
  CVentrelConfDlg dialog;
  if (board_missing) {
    outcome.log.resize(opened_from);
    outcome.log.push_back(FillInMessage(texts::kBoardCreated, board));
  }
  if (!dialog.SetModel(code)) {
    return Fail(outcome, texts::kModelNotWritten, board);
  }
  outcome.log.push_back(FillInMessage(texts::kModelWritten, board));
  return outcome;
}

ProvisioningOutcome StoreMachineModel(const std::string& step_path, ModelCode code) {
  ProvisioningOutcome outcome;
  const std::string model_file = MachineFile(step_path, texts::kMachineModelFile);
  if (!IsModel(code)) {
    return Fail(outcome, texts::kImproperMachineModel, model_file);
  }
  if (!CIni().Affecte(std::to_string(code), texts::kMachineModelKey, texts::kMachineSection,
                      model_file)) {
    return Fail(outcome, texts::kMachineModelNotStored, model_file);
  }
  outcome.log.push_back(FillInMessage(texts::kMachineModelStored, model_file));
  return outcome;
}

ModelCode RegisteredModel(std::string_view text) {
  for (const ModelInfo& model : kModels) {
    if (text == std::to_string(model.code)) {
      return model.code;
    }
  }
  return kNoModel;
}

std::string MachineModelFile(const std::string& step_path) {
  return MachineFile(step_path, texts::kMachineModelFile);
}

std::string InstalledBrandFolder(const std::string& step_path) {
  std::vector<std::string> ignored;  // the locator's messages about a user's files
  StandInPlatform platform(ProgramBeside(step_path), ignored);
  std::string data_folder;
  const InstallLayout layout = FindSystemPaths(data_folder);
  return IsInstalledLayout(layout) ? std::string(BrandOf(layout).brand_folder) : std::string();
}

std::string NextActiveSetupVersion(std::string_view previous, const std::tm& now) {
  VersionParts parts = {static_cast<unsigned long>(now.tm_year + 1900),
                        static_cast<unsigned long>((now.tm_mon + 1) * 100 + now.tm_mday),
                        static_cast<unsigned long>(now.tm_hour * 100 + now.tm_min),
                        static_cast<unsigned long>(now.tm_sec)};
  VersionParts earlier;
  if (ParseVersion(previous, earlier) && !(parts > earlier)) {
    parts = earlier;
    ++parts[3];
  }
  std::string version;
  for (const unsigned long part : parts) {
    version += (version.empty() ? "" : ",") + std::to_string(part);
  }
  return version;
}

}  // namespace ventrel
