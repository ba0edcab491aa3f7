#include "driver/ui_driver.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace ventrel::uitest {
namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kAskTimeoutMs = 5000;
constexpr int kModelListId = 1000;

struct EnumState {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lparam) {
  auto* state = reinterpret_cast<EnumState*>(lparam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == state->pid && ::IsWindowVisible(hwnd)) {
    state->windows.push_back(hwnd);
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lparam) {
  // Direct children only, in their order: EnumChildWindows also visits grandchildren.
  auto* children = reinterpret_cast<std::vector<HWND>*>(lparam);
  if (::GetParent(hwnd) == children->front()) {
    children->push_back(hwnd);
  }
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children{parent};
  ::EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&children));
  children.erase(children.begin());
  return children;
}

bool IsDialogWindow(HWND hwnd) {
  return ClassName(hwnd) == "#32770";
}

// A 32-bit top-down bitmap of `width` x `height` that the caller paints into.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                 nullptr, 0);
    previous_ = ::SelectObject(dc_, bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas() {
    ::SelectObject(dc_, previous_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  bool valid() const { return bits_ != nullptr; }
  void Fill(COLORREF colour) const {
    const RECT all{0, 0, width_, height_};
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc_, &all, brush);
    ::DeleteObject(brush);
    ::GdiFlush();
  }
  // The pixel as 0x00RRGGBB.
  DWORD At(int x, int y) const { return bits_[y * width_ + x] & 0xFFFFFF; }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  DWORD* bits_ = nullptr;
};

int ChannelDistance(DWORD a, DWORD b) {
  int sum = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  }
  return sum;
}

// How far the screen's pixels are from `icon` drawn there: the mean distance over the pixels the
// icon covers fully (the same colour on a black and on a white background).
long IconDistance(const Canvas& screen, int width, int height, HICON icon) {
  Canvas on_black(width, height);
  Canvas on_white(width, height);
  on_black.Fill(RGB(0, 0, 0));
  on_white.Fill(RGB(255, 255, 255));
  ::DrawIconEx(on_black.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  ::DrawIconEx(on_white.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  ::GdiFlush();
  long total = 0;
  long count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (on_black.At(x, y) != on_white.At(x, y)) {
        continue;
      }
      total += ChannelDistance(on_black.At(x, y), screen.At(x, y));
      ++count;
    }
  }
  return count == 0 ? LONG_MAX : total / count;
}

// Message boxes draw one of the system's icons; which one is told from the screen itself, as the
// icon handle belongs to the other process and cannot be read from here.
BoxIcon ClassifyIcon(HWND icon_control) {
  RECT rect{};
  ::GetWindowRect(icon_control, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) {
    return BoxIcon::kNone;
  }
  Canvas screen(width, height);
  HDC screen_dc = ::GetDC(nullptr);
  ::BitBlt(screen.dc(), 0, 0, width, height, screen_dc, rect.left, rect.top, SRCCOPY);
  ::ReleaseDC(nullptr, screen_dc);
  ::GdiFlush();

  const struct {
    BoxIcon icon;
    LPCSTR id;
  } candidates[] = {{BoxIcon::kError, IDI_HAND},
                    {BoxIcon::kWarning, IDI_EXCLAMATION},
                    {BoxIcon::kInformation, IDI_ASTERISK},
                    {BoxIcon::kQuestion, IDI_QUESTION}};
  BoxIcon best = BoxIcon::kUnknown;
  long best_distance = LONG_MAX;
  long second_distance = LONG_MAX;
  for (const auto& candidate : candidates) {
    const long distance = IconDistance(screen, width, height, ::LoadIconA(nullptr, candidate.id));
    if (distance < best_distance) {
      second_distance = best_distance;
      best_distance = distance;
      best = candidate.icon;
    } else if (distance < second_distance) {
      second_distance = distance;
    }
  }
  // A clear winner only: a box still being painted matches none of them well.
  constexpr long kCloseEnough = 24;
  return best_distance <= kCloseEnough && second_distance > best_distance * 3 + 30
             ? best
             : BoxIcon::kUnknown;
}

BoxIcon ReadIcon(const std::vector<HWND>& children) {
  for (HWND child : children) {
    const LONG style = ::GetWindowLongA(child, GWL_STYLE);
    if (ClassName(child) == "Static" && (style & SS_TYPEMASK) == SS_ICON &&
        ::IsWindowVisible(child)) {
      // The box may not be painted yet when it first appears.
      for (int attempt = 0; attempt < 50; ++attempt) {
        const BoxIcon icon = ClassifyIcon(child);
        if (icon != BoxIcon::kUnknown) {
          return icon;
        }
        ::Sleep(kPollMs * 2);
      }
      return BoxIcon::kUnknown;
    }
  }
  return BoxIcon::kNone;
}

// Text is read through the wide messages and converted here: Wine answers a cross-process ANSI
// text request with UTF-16 text.
LRESULT AskWide(HWND hwnd, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG, kAskTimeoutMs,
                             &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

std::string ToAnsi(const std::wstring& wide) {
  const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(std::max(n, 0)), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), n,
                        nullptr, nullptr);
  return ansi;
}

HWND Button(HWND dialog, int id) {
  return ::GetDlgItem(dialog, id);
}

}  // namespace

const char* ToString(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kNone:
      return "none";
    case BoxIcon::kError:
      return "error";
    case BoxIcon::kWarning:
      return "warning";
    case BoxIcon::kInformation:
      return "information";
    case BoxIcon::kQuestion:
      return "question";
    case BoxIcon::kUnknown:
      break;
  }
  return "unknown";
}

std::optional<AppProcess> AppProcess::Start(const std::wstring& exe,
                                            const std::wstring& command_line,
                                            const StartOptions& options) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring desktop = options.desktop;
  if (!desktop.empty()) {
    startup.lpDesktop = desktop.data();
  }
  const bool redirect = options.standard_error != nullptr;
  if (redirect) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdError = options.standard_error;
  }
  PROCESS_INFORMATION info{};
  std::wstring mutable_line = command_line;
  // The program's own folder as its current folder, so that a path it gets wrong stays there.
  const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
  if (!::CreateProcessW(exe.c_str(), mutable_line.data(), nullptr, nullptr, redirect, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
    return std::nullopt;
  }
  ::CloseHandle(info.hThread);
  // Windows of the process exist only once it waits for input.
  ::WaitForInputIdle(info.hProcess, 10000);
  return AppProcess(info.hProcess, info.dwProcessId);
}

AppProcess::AppProcess(AppProcess&& other) noexcept : process_(other.process_), pid_(other.pid_) {
  other.process_ = nullptr;
}

AppProcess::~AppProcess() {
  if (process_ == nullptr) {
    return;
  }
  if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_, 99);
    ::WaitForSingleObject(process_, 5000);
  }
  ::CloseHandle(process_);
}

std::vector<HWND> AppProcess::Windows() const {
  EnumState state{pid_, {}};
  ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&state));
  return state.windows;
}

HWND AppProcess::WaitForDialog(DWORD timeout_ms) const {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  do {
    for (HWND hwnd : Windows()) {
      if (IsDialogWindow(hwnd) && ModelList(hwnd) != nullptr) {
        return hwnd;
      }
    }
    ::Sleep(kPollMs);
  } while (::GetTickCount64() < end);
  return nullptr;
}

std::optional<MessageBoxInfo> AppProcess::WaitForMessageBox(DWORD timeout_ms) const {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  do {
    for (HWND hwnd : Windows()) {
      if (IsDialogWindow(hwnd) && ModelList(hwnd) == nullptr) {
        return ReadMessageBox(hwnd);
      }
    }
    if (::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
      return std::nullopt;
    }
    ::Sleep(kPollMs);
  } while (::GetTickCount64() < end);
  return std::nullopt;
}

bool AppProcess::WaitForExit(DWORD& exit_code, DWORD timeout_ms) const {
  if (::WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) {
    return false;
  }
  return ::GetExitCodeProcess(process_, &exit_code) != 0;
}

bool AppProcess::ShowsNoWindowFor(DWORD quiet_ms) const {
  const ULONGLONG end = ::GetTickCount64() + quiet_ms;
  do {
    if (!Windows().empty()) {
      return false;
    }
    if (::WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0) {
      return Windows().empty();
    }
  } while (::GetTickCount64() < end);
  return true;
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.hwnd = box;
  info.caption = WindowText(box);
  info.owner = ::GetWindow(box, GW_OWNER);
  info.topmost = (::GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  const std::vector<HWND> children = Children(box);
  for (HWND child : children) {
    const std::string class_name = ClassName(child);
    const LONG style = ::GetWindowLongA(child, GWL_STYLE);
    if (class_name == "Button" && ::IsWindowVisible(child)) {
      info.buttons.push_back(WindowText(child));
      info.button_ids.push_back(::GetDlgCtrlID(child));
    } else if (class_name == "Static" && (style & SS_TYPEMASK) != SS_ICON) {
      info.text += WindowText(child);
      info.text_utf8 += WindowTextUtf8(child);
    }
  }
  info.icon = ReadIcon(children);
  return info;
}

void PressBoxOk(const MessageBoxInfo& box) {
  // Posted: the box ends its own loop; a sent click would wait on whatever comes next.
  ::PostMessageA(Button(box.hwnd, IDOK), BM_CLICK, 0, 0);
  // Gone before anything else is looked for, so that it is never read twice.
  for (int i = 0; i < 250 && ::IsWindow(box.hwnd); ++i) {
    ::Sleep(kPollMs);
  }
}

HWND ModelList(HWND dialog) {
  return ::GetDlgItem(dialog, kModelListId);
}

ComboState ReadCombo(HWND dialog) {
  ComboState state;
  const HWND list = ModelList(dialog);
  const int count = static_cast<int>(Ask(list, CB_GETCOUNT));
  for (int i = 0; i < count; ++i) {
    // No size goes with CB_GETLBTEXT: the buffer is made larger than any answer can be.
    const int length = static_cast<int>(AskWide(list, CB_GETLBTEXTLEN, i));
    std::wstring text(
        std::max<std::size_t>(static_cast<std::size_t>(std::max(length, 0)) * 2, 4096), L'\0');
    AskWide(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::char_traits<wchar_t>::length(text.c_str()));
    state.entries.push_back(ToAnsi(text));
    state.item_data.push_back(Ask(list, CB_GETITEMDATA, i));
  }
  state.selection = static_cast<int>(Ask(list, CB_GETCURSEL));
  state.edit_text = WindowText(list);
  return state;
}

void SelectEntry(HWND dialog, int index) {
  const HWND list = ModelList(dialog);
  Ask(list, CB_SETCURSEL, static_cast<WPARAM>(index));
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kModelListId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

void TypeIntoEditField(HWND dialog, const std::string& text) {
  const HWND edit = ::GetWindow(ModelList(dialog), GW_CHILD);
  const std::wstring wide(text.begin(), text.end());  // the tests type ASCII
  AskWide(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void PressOk(HWND dialog) {
  ::PostMessageA(Button(dialog, IDOK), BM_CLICK, 0, 0);
}

void PressCloseBox(HWND dialog) {
  ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void PressKey(HWND window, WORD key, std::vector<WORD> modifiers) {
  ::SetForegroundWindow(window);
  std::vector<INPUT> inputs;
  auto add = [&inputs](WORD vk, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  for (WORD modifier : modifiers) {
    add(modifier, 0);
  }
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  std::reverse(modifiers.begin(), modifiers.end());
  for (WORD modifier : modifiers) {
    add(modifier, KEYEVENTF_KEYUP);
  }
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

LRESULT Ask(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutA(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG, kAskTimeoutMs,
                             &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

namespace {

std::wstring WideWindowText(HWND hwnd) {
  const int length = static_cast<int>(AskWide(hwnd, WM_GETTEXTLENGTH));
  std::wstring text(std::max<std::size_t>(static_cast<std::size_t>(std::max(length, 0)) * 2, 4096),
                    L'\0');
  AskWide(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::char_traits<wchar_t>::length(text.c_str()));
  return text;
}

}  // namespace

std::string WindowText(HWND hwnd) {
  return ToAnsi(WideWindowText(hwnd));
}

std::string WindowTextUtf8(HWND hwnd) {
  const std::wstring wide = WideWindowText(hwnd);
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(std::max(n, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
  return utf8;
}

std::string ClassName(HWND hwnd) {
  char name[256] = {};
  ::GetClassNameA(hwnd, name, sizeof name);
  return name;
}

}  // namespace ventrel::uitest
