// Small text helpers shared by the whole core. All text is 8-bit; only ASCII letters fold case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ventrel {

// Compares as the C runtime's _stricmp does: ASCII letters without regard to case, every other byte
// exactly.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Whether `c` is a blank: a space or a tab.
bool IsBlank(char c);

// Removes leading and trailing blanks (space and tab).
std::string_view TrimBlanks(std::string_view text);

// Whether the Windows profile functions take a byte for a blank around names and values: the C
// locale's isspace set (space, tab, LF, VT, FF, CR) and Ctrl-Z, the end mark old DOS editors left.
bool IsIniBlank(char c);

// Removes leading and trailing INI blanks (see IsIniBlank).
std::string_view TrimIniBlanks(std::string_view text);

// A decimal number as the C runtime and the profile functions read one: an optional sign, then the
// digits up to the first other byte.
struct DecimalNumber {
  std::size_t digits = 0;    // how many digits were read; none means there is no number
  bool fits = true;          // whether the value lies in the 32-bit signed range
  std::int32_t wrapped = 0;  // the value modulo 2^32, as a 32-bit signed integer
};

// Reads the number at the start of `text` (see DecimalNumber).
DecimalNumber ReadDecimal(std::string_view text);

// Substitutes `argument` for the first "%s" of a printf-style message. The argument is copied as it
// stands, so a '%' in a path can never be taken as a directive.
std::string FillInMessage(std::string_view pattern, std::string_view argument);

}  // namespace ventrel
