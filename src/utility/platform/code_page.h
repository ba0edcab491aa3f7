// The program's 8-bit text (the ANSI code page on Windows, UTF-8 on Linux) to and from UTF-8, the
// text the INI editor works in.
#pragma once

#include <string>
#include <string_view>

namespace ventrel {

// The identity where the 8-bit text is UTF-8. False when the text cannot be converted as it
// stands: a character the code page has no exact form for is refused, never replaced.
bool Utf8FromNarrow(std::string_view narrow, std::string& utf8);
bool NarrowFromUtf8(std::string_view utf8, std::string& narrow);

}  // namespace ventrel
