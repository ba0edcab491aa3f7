#include "ui/win32/modal_dialog_host.h"

#include "ui/win32/model_dialog.h"

namespace ventrel::win32 {

void ModalDialogHost::RunModal(CVentrelConfDlg& dialog) {
  ModelDialog window(dialog, icon_, platform_);
  window.DoModal(instance_);
}

}  // namespace ventrel::win32
