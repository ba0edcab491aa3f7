// The start-up's own message where no dialog can be shown, exactly as the user sees it; each front
// end gives its own reasons.
#pragma once

#include <string_view>

namespace ventrel::texts {

inline constexpr std::string_view kNoDialog =
    "the dialog cannot be shown: %s. Give a model code (200, 300 or 301) to set the model "
    "without a window.";

}  // namespace ventrel::texts
