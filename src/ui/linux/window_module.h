// The windows of the Linux build: the Qt module beside the executable, loaded the first time a
// window must be shown, so that silent mode without a message never loads Qt. Until then, and for
// good when the module, Qt or a display cannot be had, messages go to the fallback sink.
#pragma once

#include <memory>
#include <string>

#include "app/dialog_host.h"
#include "ui/linux/front_end.h"
#include "utility/platform/message_sink.h"

namespace ventrel {

// The module's file name; it is looked for beside the executable.
inline constexpr const char* kWindowModuleName = "VentrelConf-qt.so";

class WindowModule final : public MessageSink, public DialogHost {
 public:
  // `fallback` shows the messages while no window can be shown.
  WindowModule(std::string module_path, MessageSink& fallback);
  WindowModule(const WindowModule&) = delete;
  WindowModule& operator=(const WindowModule&) = delete;
  ~WindowModule() override;

  // A box when windows can be had, the fallback's message otherwise.
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;

  // Loads the module; when that fails, says why on the fallback and returns false.
  bool OpenWindows() override;
  // False, after saying why, when the dialog could not run to its end.
  bool RunModal(CVentrelConfDlg& dialog) override;

 private:
  // Loads the module on the first call; the front end it opened, or nullptr, for good, when none
  // can be had (failure_ says why).
  FrontEnd* LoadedFrontEnd();

  std::string module_path_;
  MessageSink& fallback_;
  bool tried_ = false;
  std::unique_ptr<FrontEnd> front_end_;
  std::string failure_;  // why no window can be shown; empty while that is not known to be so
};

// Where the module of an executable at `exe_path` lies: beside it. Empty when the path is unknown.
std::string WindowModulePath(const std::string& exe_path);

// True when the environment names a display that a window could appear on.
bool DisplayConfigured();

}  // namespace ventrel
