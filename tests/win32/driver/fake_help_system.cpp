#include "driver/fake_help_system.h"

#include <cstring>

namespace ventrel::uitest {
namespace {

// What WinHelpA sends in WM_COPYDATA: the Windows 95 layout, tagged with this number.
constexpr ULONG_PTR kHelpMagic = 0xA1DE505;

#pragma pack(push, 2)
struct HelpPacket {
  WORD size;
  WORD command;
  LONG data;
  LONG reserved;
  WORD file_offset;
  WORD data_offset;
};
#pragma pack(pop)

constexpr char kClassName[] = "MS_WINHELP";

}  // namespace

FakeHelpSystem::FakeHelpSystem(bool succeeds) : succeeds_(succeeds) {
  HANDLE ready_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread(&FakeHelpSystem::Run, this, ready_event);
  ::WaitForSingleObject(ready_event, 10000);
  ::CloseHandle(ready_event);
}

FakeHelpSystem::~FakeHelpSystem() {
  if (thread_id_ != 0) {
    ::PostThreadMessageA(thread_id_, WM_QUIT, 0, 0);
  }
  thread_.join();
}

std::vector<HelpRequest> FakeHelpSystem::Requests(std::size_t count, DWORD timeout_ms) const {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  for (;;) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (requests_.size() >= count || ::GetTickCount64() >= end) {
        return requests_;
      }
    }
    ::Sleep(20);
  }
}

void FakeHelpSystem::Run(HANDLE ready_event) {
  thread_id_ = ::GetCurrentThreadId();
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &FakeHelpSystem::WindowProc;
  window_class.hInstance = ::GetModuleHandleA(nullptr);
  window_class.lpszClassName = kClassName;
  ::RegisterClassA(&window_class);
  hwnd_ = ::CreateWindowExA(0, kClassName, "Help", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                            window_class.hInstance, nullptr);
  if (hwnd_ != nullptr) {
    ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  MSG msg;
  ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, for WM_QUIT
  ::SetEvent(ready_event);
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::DispatchMessageA(&msg);
  }
  if (hwnd_ != nullptr) {
    ::DestroyWindow(hwnd_);
  }
  ::UnregisterClassA(kClassName, window_class.hInstance);
}

LRESULT CALLBACK FakeHelpSystem::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<FakeHelpSystem*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message != WM_COPYDATA || self == nullptr) {
    return ::DefWindowProcA(hwnd, message, wparam, lparam);
  }
  const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  if (copy == nullptr || copy->dwData != kHelpMagic || copy->cbData < sizeof(HelpPacket)) {
    return FALSE;
  }
  HelpPacket packet;
  std::memcpy(&packet, copy->lpData, sizeof packet);
  HelpRequest request;
  request.caller = reinterpret_cast<HWND>(wparam);
  request.command = packet.command;
  request.data = packet.data;
  if (packet.file_offset != 0 && packet.file_offset < copy->cbData) {
    const char* text = static_cast<const char*>(copy->lpData) + packet.file_offset;
    request.file.assign(text, strnlen(text, copy->cbData - packet.file_offset));
  }
  const std::lock_guard<std::mutex> lock(self->mutex_);
  self->requests_.push_back(request);
  return self->succeeds_ ? TRUE : FALSE;
}

}  // namespace ventrel::uitest
