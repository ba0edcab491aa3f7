// What the Windows platform and the Windows front end share: the message-box type of each icon
// and the conversion of the shell's wide paths into the ANSI text the core works in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "utility/platform.h"

namespace ventrel {

// The MessageBoxA type for `icon`: exactly MB_OK plus the icon, no other flag.
unsigned MessageBoxType(MessageIcon icon);

// `wide` in the ANSI code page, or nothing when a character has no exact ANSI form: a path with
// a stand-in character would name another file.
std::optional<std::string> WideToAnsi(std::wstring_view wide);

}  // namespace ventrel
