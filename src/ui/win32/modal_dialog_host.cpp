#include "ui/win32/modal_dialog_host.h"

#include "app/texts.h"
#include "ui/win32/model_dialog.h"
#include "ui/win32/texts.h"
#include "utility/platform/platform_win32.h"
#include "utility/text.h"

namespace ventrel::win32 {

bool ModalDialogHost::OpenWindows() {
  if (WindowStationVisible()) {
    return true;
  }
  platform_.ShowMessage(ApplicationName(),
                        FillInMessage(ventrel::texts::kNoDialog, texts::kStationNotVisible),
                        MessageIcon::kError);
  return false;
}

bool ModalDialogHost::RunModal(CVentrelConfDlg& dialog) {
  ModelDialog window(dialog, icon_, platform_);
  if (window.DoModal(instance_)) {
    return true;
  }
  platform_.ShowMessage(ApplicationName(),
                        FillInMessage(ventrel::texts::kNoDialog, texts::kDialogNotCreated),
                        MessageIcon::kError);
  return false;
}

}  // namespace ventrel::win32
