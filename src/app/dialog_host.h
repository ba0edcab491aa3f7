// What a window front end offers start-up: running the dialog modally as the main window.
#pragma once

namespace ventrel {

class CVentrelConfDlg;

struct DialogHost {
  virtual ~DialogHost() = default;
  // Readies the windows before the configuration is opened, so that the opening's messages show
  // as boxes already. False, after saying why, when no window can be shown at all.
  virtual bool OpenWindows() { return true; }
  // Runs the dialog until OK or cancel closes it. False, after saying why, when the dialog could
  // not be created.
  virtual bool RunModal(CVentrelConfDlg& dialog) = 0;
};

}  // namespace ventrel
