// The locator's messages, exactly as the user sees them.
#pragma once

#include <string_view>

namespace ventrel::texts {

inline constexpr std::string_view kLocatorFailed = "Error in CAppTest::FindSystemPaths -> %s";
inline constexpr std::string_view kIniNotFound = "File %s not found!";

// The section and key of the marker that names the brand of a local layout.
inline constexpr std::string_view kMarkerSection = "Model";
inline constexpr std::string_view kMarkerKey = "Manufacturer";

inline constexpr std::string_view kIniExtension = ".ini";

}  // namespace ventrel::texts
