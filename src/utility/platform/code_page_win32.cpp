// The program's 8-bit text on Windows is the ANSI code page: values pass through UTF-16 to and
// from UTF-8. A character the code page cannot hold is refused rather than replaced by a look-alike
// or a '?', which would write a value that was never asked for.
#include "utility/platform/code_page_win32.h"

#include <windows.h>

#include "utility/platform/code_page.h"

namespace ventrel {
namespace {

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

bool Convert(UINT from, UINT to, std::string_view text, std::string& converted) {
  if (IsAscii(text)) {
    converted = text;  // the same bytes in every code page Windows uses for 8-bit text
    return true;
  }
  std::wstring wide;
  return WideFromCodePage(from, text, wide) && CodePageFromWide(to, wide, converted);
}

}  // namespace

bool WideFromCodePage(unsigned code_page, std::string_view text, std::wstring& wide) {
  wide.clear();
  if (text.empty()) {
    return true;
  }
  const int size = static_cast<int>(text.size());
  const int length =
      ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) {
    return false;
  }
  wide.assign(static_cast<std::size_t>(length), L'\0');
  return ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(),
                               length) == length;
}

bool CodePageFromWide(unsigned code_page, std::wstring_view wide, std::string& text) {
  text.clear();
  if (wide.empty()) {
    return true;
  }
  // UTF-8 (asked for, or as the ANSI code page) has a form for every character and takes neither
  // a lossy flag nor a default character: invalid UTF-16 is then the only loss.
  const bool utf8 = code_page == CP_UTF8 || (code_page == CP_ACP && ::GetACP() == CP_UTF8);
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* const lossy = utf8 ? nullptr : &used_default;
  const int size = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, nullptr, lossy);
  if (length <= 0 || used_default) {
    return false;
  }
  text.assign(static_cast<std::size_t>(length), '\0');
  return ::WideCharToMultiByte(code_page, flags, wide.data(), size, text.data(), length, nullptr,
                               lossy) == length &&
         !used_default;
}

bool Utf8FromNarrow(std::string_view narrow, std::string& utf8) {
  return Convert(CP_ACP, CP_UTF8, narrow, utf8);
}

bool NarrowFromUtf8(std::string_view utf8, std::string& narrow) {
  return Convert(CP_UTF8, CP_ACP, utf8, narrow);
}

}  // namespace ventrel
