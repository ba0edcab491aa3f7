// Small text helpers shared by the whole core. All text is 8-bit; only ASCII letters fold case.
#pragma once

#include <string>
#include <string_view>

namespace ventrel {

// Compares as the C runtime's _stricmp does: ASCII letters without regard to case, every other byte
// exactly.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Removes leading and trailing blanks (space and tab).
std::string_view TrimBlanks(std::string_view text);

// Whether the Windows profile functions take a byte for a blank around names and values: the C
// locale's isspace set (space, tab, LF, VT, FF, CR) and Ctrl-Z, the end mark old DOS editors left.
bool IsIniBlank(char c);

// Removes leading and trailing INI blanks (see IsIniBlank).
std::string_view TrimIniBlanks(std::string_view text);

// Substitutes `argument` for the first "%s" of a printf-style message. The argument is copied as it
// stands, so a '%' in a path can never be taken as a directive.
std::string FillInMessage(std::string_view pattern, std::string_view argument);

}  // namespace ventrel
