// Start-up's way to the dialog on Windows: the model-selection dialog, run modally, where someone
// can see it.
#pragma once

#include <windows.h>

#include "app/dialog_host.h"
#include "ui/win32/front_end_platform.h"

namespace ventrel::win32 {

class ModalDialogHost final : public DialogHost {
 public:
  ModalDialogHost(HINSTANCE instance, HICON icon, FrontEndPlatform& platform)
      : instance_(instance), icon_(icon), platform_(platform) {}
  bool OpenWindows() override;
  bool RunModal(CVentrelConfDlg& dialog) override;

 private:
  HINSTANCE instance_;
  HICON icon_;
  FrontEndPlatform& platform_;
};

}  // namespace ventrel::win32
