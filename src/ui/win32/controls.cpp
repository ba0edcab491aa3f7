#include "ui/win32/controls.h"

namespace ventrel::win32 {

RECT Window::WindowRect() const {
  RECT rect{};
  ::GetWindowRect(hwnd_, &rect);
  return rect;
}

RECT Window::ClientRect() const {
  RECT rect{};
  ::GetClientRect(hwnd_, &rect);
  return rect;
}

void Window::MoveTo(int x, int y) const {
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace ventrel::win32
