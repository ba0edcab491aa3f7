// Path helpers with the platform's separator, as the shell path functions behave on Windows.
#pragma once

#include <string>
#include <string_view>

namespace ventrel {

// The code page an 8-bit path is written in on Windows, where the shell's path functions step over
// double-byte characters: in code pages 932, 936, 949 and 950 a character's second byte may be
// 0x5C, the backslash byte ('ソ' is 0x83 0x5C in 932). Every path of the program is UTF-8
// (65001), whose bytes beyond ASCII are never a separator's; tests name another. POSIX paths are
// byte strings and ignore it.
using CodePage = unsigned;
inline constexpr CodePage kPathCodePage = 65001;

// The platform's preferred separator: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// True for every byte the platform accepts as a separator, where a character starts.
bool IsPathSeparator(char c);

// Bytes taken by the character that starts at `at` (< path.size()): 2 for a lead byte of a
// double-byte code page with its trail byte after it, as CharNextExA steps; 1 otherwise, and
// always 1 on POSIX.
std::size_t PathCharacterLength(std::string_view path, std::size_t at,
                                CodePage code_page = kPathCodePage);

// Length of the root that starts `path` ("/" here; "C:\", "\\server\share" or "\" on Windows), 0
// for a relative path. The root always keeps its separator.
std::size_t PathRootLength(std::string_view path, CodePage code_page = kPathCodePage);

// Joins two parts with exactly one separator. An empty part yields the other one.
std::string PathAppend(std::string_view base, std::string_view more,
                       CodePage code_page = kPathCodePage);

// Drops the last component and the separator before it; a root stays a root.
std::string PathFolderPart(std::string_view path, CodePage code_page = kPathCodePage);

// The last component alone (the file name).
std::string PathLastComponent(std::string_view path, CodePage code_page = kPathCodePage);

// True when the two paths name the same file as the system compares names: on Windows case is
// ignored for every letter (ordinal, as the file system does it), elsewhere for ASCII letters.
bool PathsEqualIgnoringCase(std::string_view a, std::string_view b);

// Removes everything from the last '.' of the last component, then adds `extension` at the end.
std::string PathReplaceExtension(std::string_view path, std::string_view extension,
                                 CodePage code_page = kPathCodePage);

}  // namespace ventrel
