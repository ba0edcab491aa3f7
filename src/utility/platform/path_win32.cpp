// Path rules of Windows: backslash preferred, slash accepted, drive, UNC and current-drive roots,
// double-byte characters stepped over as a whole.
#include "utility/platform/path.h"

#include <windows.h>

#include "utility/platform/code_page_win32.h"

namespace ventrel {
namespace {

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Index of the first separator at or after `from`, or the length when there is none.
std::size_t NextSeparator(std::string_view path, std::size_t from, CodePage code_page) {
  while (from < path.size() && !IsPathSeparator(path[from])) {
    from += PathCharacterLength(path, from, code_page);
  }
  return from;
}

// "\\server\share": the root runs to the end of the share name, without the separator after it.
std::size_t UncRootLength(std::string_view path, std::size_t server_start, CodePage code_page) {
  const std::size_t server_end = NextSeparator(path, server_start, code_page);
  if (server_end >= path.size()) {
    return path.size();
  }
  return NextSeparator(path, server_end + 1, code_page);
}

// "C:\" with its separator; "C:" alone is a root too, the current folder of that drive.
std::size_t DriveRootLength(std::string_view path, std::size_t at) {
  if (path.size() < at + 2 || !IsDriveLetter(path[at]) || path[at + 1] != ':') {
    return 0;
  }
  return path.size() > at + 2 && IsPathSeparator(path[at + 2]) ? at + 3 : at + 2;
}

}  // namespace

static_assert(kPathCodePage == CP_UTF8);

const char kPathSeparator = '\\';

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

std::size_t PathCharacterLength(std::string_view path, std::size_t at, CodePage code_page) {
  // A lead byte at the very end has no trail byte to take; it stands alone, as CharNextExA has it.
  // UTF-8 has no byte of a longer character that could be a separator's.
  return code_page != CP_UTF8 && at + 1 < path.size() &&
                 ::IsDBCSLeadByteEx(code_page, static_cast<unsigned char>(path[at]))
             ? 2
             : 1;
}

bool PathsEqualIgnoringCase(std::string_view a, std::string_view b) {
  std::wstring wide_a;
  std::wstring wide_b;
  return WideFromCodePage(CP_UTF8, a, wide_a) && WideFromCodePage(CP_UTF8, b, wide_b) &&
         ::CompareStringOrdinal(wide_a.data(), static_cast<int>(wide_a.size()), wide_b.data(),
                                static_cast<int>(wide_b.size()), TRUE) == CSTR_EQUAL;
}

std::size_t PathRootLength(std::string_view path, CodePage code_page) {
  // "\\?\" lifts the length limit; what follows it is a drive path or "UNC\server\share".
  constexpr std::string_view kLongPrefix = "\\\\?\\";
  if (path.substr(0, kLongPrefix.size()) == kLongPrefix) {
    const std::string_view rest = path.substr(kLongPrefix.size());
    if (rest.size() >= 4 && (rest.substr(0, 3) == "UNC" || rest.substr(0, 3) == "unc") &&
        IsPathSeparator(rest[3])) {
      return UncRootLength(path, kLongPrefix.size() + 4, code_page);
    }
    const std::size_t drive = DriveRootLength(path, kLongPrefix.size());
    return drive != 0 ? drive : kLongPrefix.size();
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    return UncRootLength(path, 2, code_page);
  }
  if (!path.empty() && IsPathSeparator(path[0])) {
    return 1;
  }
  return DriveRootLength(path, 0);
}

}  // namespace ventrel
