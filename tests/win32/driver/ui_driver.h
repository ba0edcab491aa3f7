// A UI-automation driver for VentrelConf.exe: starts the real program, finds its windows by
// process, reads message boxes and the model list, and acts as a user would (select, OK, Escape,
// the close box, F1). Everything goes through the real Win32 windows of the other process.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace ventrel::uitest {

// The icon a message box shows, told from the pixels on the screen.
enum class BoxIcon { kNone, kError, kWarning, kInformation, kQuestion, kUnknown };

const char* ToString(BoxIcon icon);

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;
  std::string text_utf8;  // the same text whole, in UTF-8, where the ANSI code page lacks letters
  BoxIcon icon = BoxIcon::kUnknown;
  HWND owner = nullptr;
  std::vector<std::string> buttons;  // texts, in child order
  std::vector<int> button_ids;
  bool topmost = false;
};

struct ComboState {
  std::vector<std::string> entries;
  std::vector<LRESULT> item_data;
  int selection = CB_ERR;
  std::string edit_text;
};

// Where a started program runs and writes: the desktop ("station\\desktop"; empty for the test's
// own) and its standard error (nullptr for none, or an inheritable handle).
struct StartOptions {
  std::wstring desktop;
  HANDLE standard_error = nullptr;
};

// A started VentrelConf.exe. The destructor ends it if it is still running, so that a failed test
// leaves nothing behind.
class AppProcess {
 public:
  // Starts `exe` with the raw `command_line` (the program name included, as Windows passes it),
  // in the executable's own folder.
  // Returns nothing when the process cannot be created.
  static std::optional<AppProcess> Start(const std::wstring& exe, const std::wstring& command_line,
                                         const StartOptions& options = {});

  AppProcess(AppProcess&& other) noexcept;
  AppProcess& operator=(AppProcess&&) = delete;
  AppProcess(const AppProcess&) = delete;
  ~AppProcess();

  DWORD pid() const { return pid_; }

  // The visible top-level windows of the process, in Z order.
  std::vector<HWND> Windows() const;

  // The model-selection dialog: a window of the process that holds control 1000.
  HWND WaitForDialog(DWORD timeout_ms = 10000) const;

  // The next message box of the process (a dialog window without control 1000), read in full.
  std::optional<MessageBoxInfo> WaitForMessageBox(DWORD timeout_ms = 10000) const;

  // True once the process has ended within the time; `exit_code` then holds its status.
  bool WaitForExit(DWORD& exit_code, DWORD timeout_ms = 10000) const;

  // True while the process shows no window, for `quiet_ms`, and runs or has ended.
  bool ShowsNoWindowFor(DWORD quiet_ms) const;

 private:
  AppProcess(HANDLE process, DWORD pid) : process_(process), pid_(pid) {}
  HANDLE process_;
  DWORD pid_;
};

// Reads a message box: caption, text, icon, owner and buttons.
MessageBoxInfo ReadMessageBox(HWND box);
// Presses the box's OK button and waits until the box is gone.
void PressBoxOk(const MessageBoxInfo& box);

// The combo box (control 1000) of `dialog`.
HWND ModelList(HWND dialog);
ComboState ReadCombo(HWND dialog);
// Selects entry `index` as the keyboard would: through the list, with its notifications.
void SelectEntry(HWND dialog, int index);
// Replaces the text of the combo's edit field, as typing would.
void TypeIntoEditField(HWND dialog, const std::string& text);
// Clicks button 1, OK.
void PressOk(HWND dialog);
// The caption's close box: what clicking it sends.
void PressCloseBox(HWND dialog);

// Presses a key, with the modifiers held, on the real keyboard input of the foreground window,
// after making `window` the foreground window.
void PressKey(HWND window, WORD key, std::vector<WORD> modifiers = {});

// Sends `message` to a window of the other process and returns its result (0 on a timeout).
LRESULT Ask(HWND hwnd, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

std::string WindowText(HWND hwnd);
std::string WindowTextUtf8(HWND hwnd);
std::string ClassName(HWND hwnd);

}  // namespace ventrel::uitest
