// What a window front end offers start-up: running the dialog modally as the main window.
#pragma once

namespace ventrel {

class CVentrelConfDlg;

struct DialogHost {
  virtual ~DialogHost() = default;
  // Runs the dialog until OK or cancel closes it.
  virtual void RunModal(CVentrelConfDlg& dialog) = 0;
};

}  // namespace ventrel
