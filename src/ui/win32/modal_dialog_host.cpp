#include "ui/win32/modal_dialog_host.h"

#include "app/texts.h"
#include "ui/win32/model_dialog.h"
#include "ui/win32/texts.h"
#include "utility/platform/message_sink.h"
#include "utility/platform/message_sink_win32.h"
#include "utility/text.h"

namespace ventrel::win32 {

namespace {

// Says why the dialog cannot be shown; false, for the caller to return.
bool NoDialog(std::string_view reason) {
  ShowErrorBox(FillInMessage(ventrel::texts::kNoDialog, reason));
  return false;
}

}  // namespace

bool ModalDialogHost::OpenWindows() {
  return WindowStationVisible() || NoDialog(texts::kStationNotVisible);
}

bool ModalDialogHost::RunModal(CVentrelConfDlg& dialog) {
  ModelDialog window(dialog, icon_);
  return window.DoModal(instance_) || NoDialog(texts::kDialogNotCreated);
}

}  // namespace ventrel::win32
