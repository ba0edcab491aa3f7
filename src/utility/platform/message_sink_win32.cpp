// The platform's own sink on Windows: MessageBoxA with no owner window, or the message's line on
// standard error where no one could see a box.
#include "utility/platform/message_sink_win32.h"

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
  if (!WindowStationVisible()) {
    WriteToStandardError(MessageLine(caption, text));
    return;
  }
  ::MessageBoxA(owner, text.c_str(), caption.c_str(), MessageBoxType(icon));
}

unsigned MessageBoxType(MessageIcon icon) {
  return MB_OK | (icon == MessageIcon::kError ? MB_ICONERROR : MB_ICONEXCLAMATION);
}

MessageSink& PlatformMessageSink() {
  static NoOwnerBoxSink sink;
  return sink;
}

}  // namespace ventrel
