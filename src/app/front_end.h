// The contract between the executable and the window module it loads at run time. Both are built
// from one tree by one compiler, so the contract is plain C++ behind one C entry point.
#pragma once

#include <string>

#include "utility/platform/platform.h"

namespace ventrel {

class CVentrelConfDlg;

// Raised whenever this contract changes, so that a stale module is refused rather than misused.
inline constexpr int kFrontEndVersion = 1;

// What the module offers once it has opened a display.
struct FrontEnd {
  virtual ~FrontEnd() = default;
  // Shows a modal box with no owner window and returns when the user has closed it.
  virtual void ShowMessage(const std::string& caption, const std::string& text,
                           MessageIcon icon) = 0;
  // Runs the dialog until OK or cancel closes it; while it is up it owns the boxes.
  virtual void RunModal(CVentrelConfDlg& dialog) = 0;
};

// The module's one exported function, found by kOpenFrontEndSymbol. It returns the front end,
// which the caller deletes before the process ends, or nullptr with `reason` set when it cannot
// show windows (another contract version, or no display that opens).
using OpenFrontEndFunction = FrontEnd* (*)(int version, std::string* reason);
inline constexpr const char* kOpenFrontEndSymbol = "VentrelOpenFrontEnd";

// The module's file name; it is looked for beside the executable.
inline constexpr const char* kWindowModuleName = "VentrelConf-qt.so";

}  // namespace ventrel
