// The start-up's own messages where no dialog can be shown, exactly as the user sees them; the
// reasons below are the Linux loader's.
#pragma once

#include <string_view>

namespace ventrel::texts {

inline constexpr std::string_view kNoDialog =
    "the dialog cannot be shown: %s. Give a model code (200, 300 or 301) to set the model "
    "without a window.";

inline constexpr std::string_view kNoDisplay = "no display (DISPLAY and WAYLAND_DISPLAY are unset)";
inline constexpr std::string_view kNoExePath = "the executable's own path is unknown";
inline constexpr std::string_view kModuleNotLoaded = "the window module cannot be loaded: %s";
inline constexpr std::string_view kNoEntryPoint = "the window module %s has no entry point";
inline constexpr std::string_view kModuleRefused = "the window module cannot show windows";

}  // namespace ventrel::texts
