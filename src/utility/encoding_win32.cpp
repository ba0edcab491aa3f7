// The program's 8-bit text on Windows is the ANSI code page: values pass through UTF-16 to and
// from UTF-8. A character the code page cannot hold is refused rather than replaced by a look-alike
// or a '?', which would write a value that was never asked for.
#include <windows.h>

#include "utility/encoding.h"

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

bool ToWide(UINT code_page, std::string_view text, std::wstring& wide) {
  const int length = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) {
    return false;
  }
  wide.assign(static_cast<std::size_t>(length), L'\0');
  return ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), wide.data(), length) == length;
}

bool FromWide(UINT code_page, const std::wstring& wide, std::string& text) {
  // UTF-8 takes neither flag nor default character; the code page takes both.
  const DWORD flags = code_page == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* const lossy = code_page == CP_UTF8 ? nullptr : &used_default;
  const int length = ::WideCharToMultiByte(
      code_page, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, lossy);
  if (length <= 0 || used_default) {
    return false;
  }
  text.assign(static_cast<std::size_t>(length), '\0');
  return ::WideCharToMultiByte(code_page, flags, wide.data(), static_cast<int>(wide.size()),
                               text.data(), length, nullptr, lossy) == length &&
         !used_default;
}

bool Convert(UINT from, UINT to, std::string_view text, std::string& converted) {
  if (IsAscii(text)) {
    converted = text;  // the same bytes in every code page Windows uses for ANSI text
    return true;
  }
  std::wstring wide;
  return ToWide(from, text, wide) && FromWide(to, wide, converted);
}

}  // namespace

bool Utf8FromNarrow(std::string_view narrow, std::string& utf8) {
  return Convert(CP_ACP, CP_UTF8, narrow, utf8);
}

bool NarrowFromUtf8(std::string_view utf8, std::string& narrow) {
  return Convert(CP_UTF8, CP_ACP, utf8, narrow);
}

}  // namespace ventrel
