// The window side of the model-selection dialog: template 102 run modally, its list filled from
// the configuration side (CVentrelConfDlg), OK writing the chosen model, every cancel writing
// nothing, and F1 asking the help system for the dialog's context.
#pragma once

#include <windows.h>

#include <optional>

#include "config/ventrel_conf_dlg.h"
#include "ui/win32/controls.h"
#include "ui/win32/owned_box_sink.h"

namespace ventrel::win32 {

class ModelDialog {
 public:
  ModelDialog(CVentrelConfDlg& config, HICON icon);
  ModelDialog(const ModelDialog&) = delete;
  ModelDialog& operator=(const ModelDialog&) = delete;

  // Shows the dialog as the application's main window and returns once it is closed; false when
  // it could not be created (no template in `instance`, no memory, no desktop).
  bool DoModal(HINSTANCE instance);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK HelpKeyFilter(int code, WPARAM wparam, LPARAM lparam);

  BOOL OnInitDialog(HWND hwnd);
  void OnOK();
  void OnCancel();
  void OnPaintIconic();
  void OnHelp();
  void CentreInWorkArea();

  CVentrelConfDlg& config_;
  HICON icon_;
  Window window_;
  ComboBox list_;
  std::optional<OwnedBoxSink> box_owner_;  // while the dialog is on screen

  // The dialog on screen, for the key filter; there is never more than one.
  static ModelDialog* running_;
};

}  // namespace ventrel::win32
