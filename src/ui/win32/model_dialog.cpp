#include "ui/win32/model_dialog.h"

#include "ui/win32/resource.h"
#include "ui/win32/texts.h"
#include "ui/win32/window_geometry.h"
#include "utility/platform/code_page.h"
#include "utility/platform/code_page_win32.h"
#include "utility/platform/folders.h"
#include "utility/platform/message_sink.h"
#include "utility/platform/path.h"

namespace ventrel::win32 {
namespace {

bool IsKeyDown(int key) {
  return ::GetKeyState(key) < 0;
}

ModelDialog* FromWindow(HWND hwnd) {
  return reinterpret_cast<ModelDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
}

// The help file (its path in UTF-8) through WinHelpA where the ANSI code page can name it, as it
// always was; through WinHelpW where only UTF-16 can.
bool OpenHelp(HWND owner, const std::string& help_file) {
  std::string ansi;
  if (NarrowFromUtf8(help_file, ansi)) {
    return ::WinHelpA(owner, ansi.c_str(), HELP_CONTEXT, texts::kHelpContext);
  }
  std::wstring wide;
  return WideFromCodePage(CP_UTF8, help_file, wide) &&
         ::WinHelpW(owner, wide.c_str(), HELP_CONTEXT, texts::kHelpContext);
}

}  // namespace

ModelDialog* ModelDialog::running_ = nullptr;

ModelDialog::ModelDialog(CVentrelConfDlg& config, HICON icon) : config_(config), icon_(icon) {}

bool ModelDialog::DoModal(HINSTANCE instance) {
  running_ = this;
  const MessageFilterHook help_keys(&ModelDialog::HelpKeyFilter);
  const INT_PTR result =
      ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_VENTRELCONF_DIALOG), nullptr,
                        &ModelDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  box_owner_.reset();
  running_ = nullptr;
  return result != -1;
}

INT_PTR CALLBACK ModelDialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<ModelDialog*>(lparam);
    ::SetWindowLongPtrA(hwnd, DWLP_USER, lparam);
    return dialog->OnInitDialog(hwnd);
  }
  ModelDialog* dialog = FromWindow(hwnd);
  if (dialog == nullptr) {
    return FALSE;
  }
  switch (message) {
    case WM_COMMAND:
      // Enter reaches OK as the default button; Escape, the close box, Alt+F4 and the system
      // menu's Close all arrive as IDCANCEL, with or without a Cancel button.
      if (LOWORD(wparam) == IDOK) {
        dialog->OnOK();
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        dialog->OnCancel();
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      if (!dialog->window_.IsIconic()) {
        return FALSE;  // the dialog manager paints the open dialog
      }
      dialog->OnPaintIconic();
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(dialog->icon_);
    case WM_DESTROY:
      // A box shown after this point must not belong to a window that is going away.
      dialog->box_owner_.reset();
      return FALSE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK ModelDialog::HelpKeyFilter(int code, WPARAM wparam, LPARAM lparam) {
  const auto* msg = reinterpret_cast<const MSG*>(lparam);
  ModelDialog* dialog = running_;
  if (code == MSGF_DIALOGBOX && dialog != nullptr && msg != nullptr && msg->message == WM_KEYDOWN &&
      msg->wParam == VK_F1 && !IsKeyDown(VK_SHIFT) && !IsKeyDown(VK_CONTROL) &&
      !IsKeyDown(VK_MENU)) {
    const HWND hwnd = dialog->window_.hwnd();
    // Only keys meant for the dialog: a message box on top of it runs the same kind of loop.
    if (hwnd != nullptr && (msg->hwnd == hwnd || ::IsChild(hwnd, msg->hwnd))) {
      dialog->OnHelp();
      return TRUE;
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

BOOL ModelDialog::OnInitDialog(HWND hwnd) {
  window_.Attach(hwnd);
  list_.Attach(::GetDlgItem(hwnd, IDC_MODEL_LIST));
  box_owner_.emplace(hwnd);
  CentreInWorkArea();
  window_.SetIcons(icon_);

  const ModelCode current = config_.ReadCurrentModel();
  list_.ResetContent();
  for (const DisplayEntry& entry : config_.ReadDisplayNames()) {
    // The index the list gives the new entry, not count - 1: an entry the list had no room for
    // must not pass its code on to the one before it.
    const int index = list_.AddString(entry.text);
    if (index < 0) {
      continue;
    }
    list_.SetItemData(index, entry.code);
    if (entry.code == current) {
      list_.SetCurSel(index);
    }
  }
  return TRUE;  // the dialog manager sets the focus
}

void ModelDialog::OnOK() {
  // Only the selected entry's code is ever written, never text typed into the edit field.
  const int index = list_.GetCurSel();
  const ModelCode code =
      index == CB_ERR ? kNoModel : static_cast<ModelCode>(list_.GetItemData(index));
  config_.SetModel(code);
  ::EndDialog(window_.hwnd(), IDOK);
}

void ModelDialog::OnCancel() {
  ::EndDialog(window_.hwnd(), IDCANCEL);
}

void ModelDialog::OnPaintIconic() {
  const PaintDc dc(window_.hwnd());
  window_.Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.hdc()));
  const POINT at = MinimisedIconPosition(window_.ClientRect(), ::GetSystemMetrics(SM_CXICON),
                                         ::GetSystemMetrics(SM_CYICON));
  ::DrawIcon(dc.hdc(), at.x, at.y, icon_);
}

void ModelDialog::OnHelp() {
  const std::string help_file =
      PathReplaceExtension(CurrentFolders().ExePath(), texts::kHelpExtension);
  if (!OpenHelp(window_.hwnd(), help_file)) {
    CurrentMessageSink().ShowMessage(ApplicationName(), std::string(texts::kHelpFailed),
                                     MessageIcon::kWarning);
  }
}

void ModelDialog::CentreInWorkArea() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoA(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
    return;
  }
  const RECT frame = window_.WindowRect();
  const POINT at =
      CentredPosition(monitor.rcWork, frame.right - frame.left, frame.bottom - frame.top);
  window_.MoveTo(at.x, at.y);
}

}  // namespace ventrel::win32
