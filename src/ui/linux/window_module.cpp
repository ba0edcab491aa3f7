#include "ui/linux/window_module.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "app/texts.h"
#include "app/ventrel_conf.h"
#include "ui/linux/texts.h"
#include "utility/platform/environment.h"
#include "utility/platform/folders.h"
#include "utility/platform/path.h"
#include "utility/text.h"

namespace ventrel {
namespace {

OpenFrontEndFunction FindEntryPoint(void* module) {
  void* symbol = ::dlsym(module, kOpenFrontEndSymbol);
  OpenFrontEndFunction entry = nullptr;
  static_assert(sizeof(entry) == sizeof(symbol));
  std::memcpy(&entry, &symbol, sizeof(entry));  // POSIX guarantees the two convert
  return entry;
}

void SayNoDialog(MessageSink& sink, std::string_view reason) {
  sink.ShowMessage(ApplicationName(), FillInMessage(texts::kNoDialog, reason), MessageIcon::kError);
}

// Qt is past returning: the line of a dialog that cannot be shown, and the program ends as it
// would have, had the module been able to say so.
[[noreturn]] void EndWithoutDialog(const char* reason) {
  SayNoDialog(PlatformMessageSink(), reason != nullptr ? reason : texts::kModuleRefused);
  std::_Exit(CVentrelConf::kNoDialog);
}

}  // namespace

WindowModule::WindowModule(std::string module_path, MessageSink& fallback)
    : module_path_(std::move(module_path)), fallback_(fallback) {}

// The module itself stays loaded until the process ends: Qt does not survive being unloaded.
WindowModule::~WindowModule() = default;

void WindowModule::ShowMessage(const std::string& caption, const std::string& text,
                               MessageIcon icon) {
  if (FrontEnd* front_end = LoadedFrontEnd()) {
    front_end->ShowMessage(caption, text, icon);
    return;
  }
  fallback_.ShowMessage(caption, text, icon);
}

bool WindowModule::OpenWindows() {
  if (LoadedFrontEnd() != nullptr) {
    return true;
  }
  SayNoDialog(fallback_, failure_);
  return false;
}

bool WindowModule::RunModal(CVentrelConfDlg& dialog) {
  FrontEnd* front_end = LoadedFrontEnd();
  if (front_end == nullptr) {
    SayNoDialog(fallback_, failure_);
    return false;
  }
  std::string reason;
  if (front_end->RunModal(dialog, reason)) {
    return true;
  }
  SayNoDialog(*this, reason.empty() ? texts::kDialogFailed : reason);
  return false;
}

FrontEnd* WindowModule::LoadedFrontEnd() {
  if (tried_) {
    return front_end_.get();
  }
  tried_ = true;
  // Without a display there is nothing to try, and Qt is not even loaded.
  if (!DisplayConfigured()) {
    failure_ = texts::kNoDisplay;
    return nullptr;
  }
  if (module_path_.empty()) {
    failure_ = texts::kNoExePath;
    return nullptr;
  }
  void* module = ::dlopen(module_path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* error = ::dlerror();
    failure_ = FillInMessage(texts::kModuleNotLoaded, error != nullptr ? error : module_path_);
    return nullptr;
  }
  const OpenFrontEndFunction open = FindEntryPoint(module);
  if (open == nullptr) {
    failure_ = FillInMessage(texts::kNoEntryPoint, module_path_);
    return nullptr;
  }
  std::string reason;
  front_end_.reset(open(kFrontEndVersion, &EndWithoutDialog, &reason));
  if (!front_end_) {
    failure_ = reason.empty() ? std::string(texts::kModuleRefused) : reason;
  }
  return front_end_.get();
}

std::string WindowModulePath(const std::string& exe_path) {
  return exe_path.empty() ? std::string() : PathAppend(PathFolderPart(exe_path), kWindowModuleName);
}

bool DisplayConfigured() {
  return !EnvironmentValue("DISPLAY").empty() || !EnvironmentValue("WAYLAND_DISPLAY").empty();
}

}  // namespace ventrel
