// The windows of the Linux build: the Qt module beside the executable, loaded the first time a
// window must be shown, so that silent mode without a message never loads Qt. Until then, and for
// good when the module, Qt or a display cannot be had, messages are the fallback's lines.
#pragma once

#include <memory>
#include <string>

#include "app/dialog_host.h"
#include "app/front_end.h"
#include "utility/platform/platform.h"

namespace ventrel {

class WindowModule final : public Platform, public DialogHost {
 public:
  // `fallback` gives the folders, and the messages while no window can be shown.
  WindowModule(std::string module_path, Platform& fallback);
  WindowModule(const WindowModule&) = delete;
  WindowModule& operator=(const WindowModule&) = delete;
  ~WindowModule() override;

  std::string ExePath() const override { return fallback_.ExePath(); }
  std::vector<std::string> ProgramsFolders() const override { return fallback_.ProgramsFolders(); }
  std::string AppDataFolder() const override { return fallback_.AppDataFolder(); }
  std::string LocalBaseFolder() const override { return fallback_.LocalBaseFolder(); }
  // A box when windows can be had, the fallback's line otherwise.
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;

  // Loads the module; when that fails, says why on the fallback and returns false.
  bool OpenWindows() override;
  bool RunModal(CVentrelConfDlg& dialog) override;

 private:
  // The front end, loaded on the first call; nullptr, for good, when it cannot be had.
  FrontEnd* Windows();

  std::string module_path_;
  Platform& fallback_;
  bool tried_ = false;
  std::unique_ptr<FrontEnd> front_end_;
  std::string failure_;  // why no window can be shown; empty while that is not known to be so
};

// Where the module of an executable at `exe_path` lies: beside it. Empty when the path is unknown.
std::string WindowModulePath(const std::string& exe_path);

// True when the environment names a display that a window could appear on.
bool DisplayConfigured();

}  // namespace ventrel
