#include "ui/win32/modal_dialog_host.h"

#include "app/texts.h"
#include "ui/win32/model_dialog.h"
#include "ui/win32/texts.h"
#include "utility/platform/platform_win32.h"
#include "utility/text.h"

namespace ventrel::win32 {

namespace {

// Says why the dialog cannot be shown; false, for the caller to return.
bool NoDialog(Platform& platform, std::string_view reason) {
  platform.ShowMessage(ApplicationName(), FillInMessage(ventrel::texts::kNoDialog, reason),
                       MessageIcon::kError);
  return false;
}

}  // namespace

bool ModalDialogHost::OpenWindows() {
  return WindowStationVisible() || NoDialog(platform_, texts::kStationNotVisible);
}

bool ModalDialogHost::RunModal(CVentrelConfDlg& dialog) {
  ModelDialog window(dialog, icon_, platform_);
  return window.DoModal(instance_) || NoDialog(platform_, texts::kDialogNotCreated);
}

}  // namespace ventrel::win32
