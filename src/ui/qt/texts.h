// The window texts of the Qt front end, exactly as the user sees them.
#pragma once

#include <string_view>

namespace ventrel::texts {

inline constexpr std::string_view kDialogTitle = "VentrelConf";
inline constexpr std::string_view kOkButton = "OK";
inline constexpr std::string_view kHelpFailed = "Failed to launch help.";
// The help page, installed beside the executable.
inline constexpr std::string_view kHelpPage = "VentrelConf.html";

inline constexpr std::string_view kOtherVersion = "the window module was built for another program";
inline constexpr std::string_view kDisplayFailed = "Qt cannot open the display %s";
inline constexpr std::string_view kQtFailed = "Qt failed to start";

}  // namespace ventrel::texts
