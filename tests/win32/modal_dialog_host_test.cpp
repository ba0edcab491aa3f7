#include "ui/win32/modal_dialog_host.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/texts.h"
#include "config/ventrel_conf_dlg.h"
#include "support/recording_platform.h"
#include "ui/win32/texts.h"
#include "utility/platform/folders.h"
#include "utility/platform/message_sink.h"
#include "utility/text.h"

namespace ventrel::win32 {
namespace {

// The control that holds a message box's text.
constexpr int kBoxTextId = 0xFFFF;

struct SeenBox {
  bool found = false;
  std::string caption;
  std::string text;
};

BOOL CALLBACK FindOwnBox(HWND hwnd, LPARAM lparam) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  char class_name[16] = {};
  ::GetClassNameA(hwnd, class_name, sizeof class_name);
  // Visible only once its texts are in place.
  if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd) ||
      std::string(class_name) != "#32770") {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(lparam) = hwnd;
  return FALSE;
}

BOOL CALLBACK CloseOwnWindow(HWND hwnd, LPARAM) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == ::GetCurrentProcessId()) {
    ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

// Reads and dismisses the first box this process shows, as a user would. A box it does not
// recognise in time is closed anyway, so that a failure ends the test instead of blocking it.
SeenBox WatchForBox(const std::atomic<bool>& returned) {
  SeenBox seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!returned && std::chrono::steady_clock::now() < deadline) {
    HWND box = nullptr;
    ::EnumWindows(&FindOwnBox, reinterpret_cast<LPARAM>(&box));
    if (box != nullptr) {
      char buffer[1024] = {};
      ::GetWindowTextA(box, buffer, sizeof buffer);
      seen.caption = buffer;
      ::GetDlgItemTextA(box, kBoxTextId, buffer, sizeof buffer);
      seen.text = buffer;
      seen.found = true;
      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
      return seen;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  while (!returned) {
    ::EnumWindows(&CloseOwnWindow, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return seen;
}

TEST(ModalDialogHostTest, ADialogTheSystemCannotCreateIsReportedInABox) {
  // The configuration's own "not found" boxes go to the recorder; only the host's box is real.
  test::RecordingPlatform recorder;
  CVentrelConfDlg config;
  const MessageSinkScope real_boxes(PlatformMessageSink());
  // This program's resources hold no dialog template.
  ModalDialogHost host(::GetModuleHandleA(nullptr), nullptr);

  std::atomic<bool> returned = false;
  SeenBox seen;
  std::thread watcher([&] { seen = WatchForBox(returned); });
  const bool shown = host.RunModal(config);
  returned = true;
  watcher.join();

  EXPECT_FALSE(shown);
  ASSERT_TRUE(seen.found) << "no message box within the time";
  EXPECT_EQ(seen.caption, ApplicationName());
  EXPECT_EQ(seen.text, FillInMessage(ventrel::texts::kNoDialog, texts::kDialogNotCreated));
}

}  // namespace
}  // namespace ventrel::win32
