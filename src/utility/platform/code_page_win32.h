// The one conversion between 8-bit text and the system's UTF-16 on Windows, for every call that
// takes or gives wide text. Exact or nothing: a stand-in character would name another file.
#pragma once

#include <string>
#include <string_view>

namespace ventrel {

// `text` of code page `code_page` (CP_ACP, CP_UTF8, ...) as UTF-16; false when it is no valid
// text of that code page.
bool WideFromCodePage(unsigned code_page, std::string_view text, std::wstring& wide);

// `wide` in code page `code_page`; false when a character has no exact form there or `wide` is
// no valid UTF-16.
bool CodePageFromWide(unsigned code_page, std::wstring_view wide, std::string& text);

}  // namespace ventrel
