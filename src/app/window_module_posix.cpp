#include "app/window_module_posix.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "app/texts.h"
#include "utility/platform/path.h"
#include "utility/text.h"

namespace ventrel {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

OpenFrontEndFunction FindEntryPoint(void* module) {
  void* symbol = ::dlsym(module, kOpenFrontEndSymbol);
  OpenFrontEndFunction entry = nullptr;
  static_assert(sizeof(entry) == sizeof(symbol));
  std::memcpy(&entry, &symbol, sizeof(entry));  // POSIX guarantees the two convert
  return entry;
}

}  // namespace

WindowModule::WindowModule(std::string module_path, Platform& fallback)
    : module_path_(std::move(module_path)), fallback_(fallback) {}

// The module itself stays loaded until the process ends: Qt does not survive being unloaded.
WindowModule::~WindowModule() = default;

void WindowModule::ShowMessage(const std::string& caption, const std::string& text,
                               MessageIcon icon) {
  if (FrontEnd* windows = Windows()) {
    windows->ShowMessage(caption, text, icon);
    return;
  }
  fallback_.ShowMessage(caption, text, icon);
}

bool WindowModule::OpenWindows() {
  if (Windows() != nullptr) {
    return true;
  }
  fallback_.ShowMessage(ApplicationName(), FillInMessage(texts::kNoDialog, failure_),
                        MessageIcon::kError);
  return false;
}

bool WindowModule::RunModal(CVentrelConfDlg& dialog) {
  if (FrontEnd* windows = Windows()) {
    windows->RunModal(dialog);
  }
  return true;  // OpenWindows said already what it could not open
}

FrontEnd* WindowModule::Windows() {
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
  front_end_.reset(open(kFrontEndVersion, &reason));
  if (!front_end_) {
    failure_ = reason.empty() ? std::string(texts::kModuleRefused) : reason;
  }
  return front_end_.get();
}

std::string WindowModulePath(const std::string& exe_path) {
  return exe_path.empty() ? std::string() : PathAppend(PathFolderPart(exe_path), kWindowModuleName);
}

bool DisplayConfigured() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

}  // namespace ventrel
