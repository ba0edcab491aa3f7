// Thin wrappers over the Win32 handles the dialog uses: each message goes through one small
// function here, and every handle that must be given back is given back by a destructor.
#pragma once

#include <windows.h>

#include <string>

namespace ventrel::win32 {

// A window the wrapper does not own.
class Window {
 public:
  explicit Window(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
    return ::SendMessageA(hwnd_, message, wparam, lparam);
  }
  // The big icon first, then the small one: the big one is what the small one falls back on.
  void SetIcons(HICON icon) const {
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  bool IsIconic() const { return ::IsIconic(hwnd_) != 0; }
  RECT WindowRect() const;
  RECT ClientRect() const;
  void MoveTo(int x, int y) const;

 private:
  HWND hwnd_;
};

// The combo box messages the dialog uses.
class ComboBox : public Window {
 public:
  using Window::Window;
  void ResetContent() const { Send(CB_RESETCONTENT); }
  // Index of the new entry, or CB_ERR / CB_ERRSPACE.
  int AddString(const std::string& text) const {
    return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  }
  void SetItemData(int index, LPARAM data) const {
    Send(CB_SETITEMDATA, static_cast<WPARAM>(index), data);
  }
  // CB_ERR when `index` names no entry.
  LRESULT GetItemData(int index) const { return Send(CB_GETITEMDATA, static_cast<WPARAM>(index)); }
  // CB_ERR when nothing is selected.
  int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
  void SetCurSel(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }
};

// BeginPaint ... EndPaint.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : hwnd_(hwnd), hdc_(::BeginPaint(hwnd, &paint_)) {}
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { ::EndPaint(hwnd_, &paint_); }
  HDC hdc() const { return hdc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC hdc_;
};

// A message-filter hook on this thread, for as long as the object lives: it sees the keys of a
// modal dialog's own message loop before the dialog manager does.
class MessageFilterHook {
 public:
  explicit MessageFilterHook(HOOKPROC procedure)
      : hook_(::SetWindowsHookExA(WH_MSGFILTER, procedure, nullptr, ::GetCurrentThreadId())) {}
  MessageFilterHook(const MessageFilterHook&) = delete;
  MessageFilterHook& operator=(const MessageFilterHook&) = delete;
  ~MessageFilterHook() {
    if (hook_ != nullptr) {
      ::UnhookWindowsHookEx(hook_);
    }
  }

 private:
  HHOOK hook_;
};

}  // namespace ventrel::win32
