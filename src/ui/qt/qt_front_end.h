// The front end the Qt module gives the executable: the application object, the error box with
// no owner, and the modal run of the dialog.
#pragma once

#include <QApplication>
#include <QtGlobal>
#include <memory>
#include <string>

#include "ui/linux/front_end.h"

namespace ventrel {

// While the application object is being made: a Qt that cannot start after all would abort the
// process (a core file, no word of why), so its fatal message goes to the executable's
// `failed_start` instead, as a display that does not open, and the executable ends the program.
class StartupGuard {
 public:
  explicit StartupGuard(FailedStartFunction failed_start);
  StartupGuard(const StartupGuard&) = delete;
  StartupGuard& operator=(const StartupGuard&) = delete;
  ~StartupGuard();
  // Qt has started: its messages go where they went before.
  void Release();

 private:
  QtMessageHandler previous_;
  bool released_ = false;
};

class QtFrontEnd final : public FrontEnd {
 public:
  // Creates the application object; only once a display has answered (OpenQtFrontEnd).
  explicit QtFrontEnd(FailedStartFunction failed_start);
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;
  ~QtFrontEnd() override;

  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
  bool RunModal(CVentrelConfDlg& dialog, std::string& reason) override;

 private:
  StartupGuard startup_guard_;  // made before the application object
  // Qt keeps references to both for the application object's lifetime. The user's arguments
  // are not handed over: no option of the program may change what Qt does.
  int argc_ = 1;
  char name_[12] = "VentrelConf";
  char* argv_[2] = {name_, nullptr};
  QApplication application_;
};

// The front end, once a display platform Qt would use has answered (see DisplayCheck); nullptr,
// with `reason` set, when none does.
std::unique_ptr<FrontEnd> OpenQtFrontEnd(FailedStartFunction failed_start, std::string& reason);

}  // namespace ventrel
