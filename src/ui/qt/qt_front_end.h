// The front end the Qt module gives the executable: the application object, the error box with
// no owner, and the modal run of the dialog.
#pragma once

#include <QApplication>
#include <string>

#include "app/front_end.h"

namespace ventrel {

class QtFrontEnd final : public FrontEnd {
 public:
  // Creates the application object; only after QtStarts() has said it can.
  QtFrontEnd();
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;
  ~QtFrontEnd() override;

  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
  void RunModal(CVentrelConfDlg& dialog) override;

 private:
  // Qt keeps references to both for the application object's lifetime. The user's arguments
  // are not handed over: no option of the program may change what Qt does.
  int argc_ = 1;
  char name_[12] = "VentrelConf";
  char* argv_[2] = {name_, nullptr};
  QApplication application_;
};

// True when Qt can open a display platform. Qt ends the whole process when none starts, and has
// no way to ask first, so a child process tries; `reason` says why not.
bool QtStarts(std::string& reason);

}  // namespace ventrel
