// The Linux loader's reasons why no dialog can be shown, exactly as the user sees them.
#pragma once

#include <string_view>

namespace ventrel::texts {

inline constexpr std::string_view kNoDisplay = "no display (DISPLAY and WAYLAND_DISPLAY are unset)";
inline constexpr std::string_view kNoExePath = "the executable's own path is unknown";
inline constexpr std::string_view kModuleNotLoaded = "the window module cannot be loaded: %s";
inline constexpr std::string_view kNoEntryPoint = "the window module %s has no entry point";
inline constexpr std::string_view kModuleRefused = "the window module cannot show windows";
inline constexpr std::string_view kDialogFailed = "the dialog failed while it ran";

}  // namespace ventrel::texts
