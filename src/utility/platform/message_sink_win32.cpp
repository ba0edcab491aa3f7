// The platform's own sink on Windows: MessageBoxA with no owner window, or the message's line on
// standard error where no one could see a box. Messages come in UTF-8 (paths are carried so); one
// the ANSI code page can show goes out in it, as it always has, one it cannot (a path beyond it)
// goes out whole, through MessageBoxW or as UTF-8.
#include "utility/platform/message_sink_win32.h"

#include "utility/platform/code_page.h"
#include "utility/platform/code_page_win32.h"

namespace ventrel {
namespace {

void WriteToStandardError(const std::string& line) {
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) {
    return;  // started without one: the line has nowhere to go
  }
  std::size_t done = 0;
  while (done < line.size()) {
    DWORD written = 0;
    if (!::WriteFile(error, line.data() + done, static_cast<DWORD>(line.size() - done), &written,
                     nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

class NoOwnerBoxSink final : public MessageSink {
 public:
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override {
    ShowMessageBox(nullptr, caption, text, icon);
  }
};

}  // namespace

bool WindowStationVisible() {
  USEROBJECTFLAGS flags{};
  const HWINSTA station = ::GetProcessWindowStation();
  if (station == nullptr ||
      !::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
    return true;  // nothing known against a box: show it, as every program would
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void ShowMessageBox(HWND owner, const std::string& caption, const std::string& text,
                    MessageIcon icon) {
  std::string ansi_caption;
  std::string ansi_text;
  const bool ansi = NarrowFromUtf8(caption, ansi_caption) && NarrowFromUtf8(text, ansi_text);
  if (!WindowStationVisible()) {
    WriteToStandardError(ansi ? MessageLine(ansi_caption, ansi_text) : MessageLine(caption, text));
    return;
  }
  std::wstring wide_caption;
  std::wstring wide_text;
  if (!ansi && WideFromCodePage(CP_UTF8, caption, wide_caption) &&
      WideFromCodePage(CP_UTF8, text, wide_text)) {
    ::MessageBoxW(owner, wide_text.c_str(), wide_caption.c_str(), MessageBoxType(icon));
    return;
  }
  // No valid UTF-8 either: the bytes as they are, as before paths were carried in UTF-8.
  ::MessageBoxA(owner, (ansi ? ansi_text : text).c_str(), (ansi ? ansi_caption : caption).c_str(),
                MessageBoxType(icon));
}

unsigned MessageBoxType(MessageIcon icon) {
  return MB_OK | (icon == MessageIcon::kError ? MB_ICONERROR : MB_ICONEXCLAMATION);
}

MessageSink& PlatformMessageSink() {
  static NoOwnerBoxSink sink;
  return sink;
}

}  // namespace ventrel
