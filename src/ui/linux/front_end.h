// The contract between the Linux executable and the window module it loads at run time. Both are
// built from one tree by one compiler, so the contract is plain C++ behind one C entry point.
#pragma once

#include <string>

#include "utility/platform/message_sink.h"

namespace ventrel {

class CVentrelConfDlg;

// Raised whenever this contract changes, so that a stale module is refused rather than misused.
inline constexpr int kFrontEndVersion = 2;

// What the module offers once it has opened a display.
struct FrontEnd {
  virtual ~FrontEnd() = default;
  // Shows a modal box with no owner window and returns when the user has closed it.
  virtual void ShowMessage(const std::string& caption, const std::string& text,
                           MessageIcon icon) = 0;
  // Runs the dialog until OK or cancel closes it; while it is up it owns the boxes. False, with
  // `reason` set, when the dialog could not run to its end.
  virtual bool RunModal(CVentrelConfDlg& dialog, std::string& reason) = 0;
};

// The executable's answer to a window system that fails where the module cannot return: Qt ends
// the process after its fatal message. It says why no dialog can be shown (`reason`) and ends the
// program with the status of that case; it never returns.
using FailedStartFunction = void (*)(const char* reason);

// The module's one exported function, found by kOpenFrontEndSymbol. It returns the front end,
// which the caller deletes before the process ends, or nullptr with `reason` set when it cannot
// show windows (another contract version, or no display that opens). Should the window system
// fail past the point of returning, the module calls `failed_start` instead.
using OpenFrontEndFunction = FrontEnd* (*)(int version, FailedStartFunction failed_start,
                                           std::string* reason);
inline constexpr const char* kOpenFrontEndSymbol = "VentrelOpenFrontEnd";

}  // namespace ventrel
