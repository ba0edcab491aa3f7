// Start-up's way to the dialog on Windows: the model-selection dialog, run modally, where someone
// can see it.
#pragma once

#include <windows.h>

#include "app/dialog_host.h"

namespace ventrel::win32 {

class ModalDialogHost final : public DialogHost {
 public:
  ModalDialogHost(HINSTANCE instance, HICON icon) : instance_(instance), icon_(icon) {}
  bool OpenWindows() override;
  bool RunModal(CVentrelConfDlg& dialog) override;

 private:
  HINSTANCE instance_;
  HICON icon_;
};

}  // namespace ventrel::win32
