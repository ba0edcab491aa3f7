// The command line: Windows splitting rules, the model argument and its conversion to a code.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/model_code.h"

namespace ventrel {

// Splits a raw Windows command line as the C runtime does. The first element is the program name,
// which follows the runtime's own rule: quotes group it, backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

// The first argument that is neither an option ("-..." or "/...") nor empty, taken byte for byte.
// `arguments` excludes the program name.
std::optional<std::string> FindModelArgument(const std::vector<std::string>& arguments);

// Converts as sscanf("%d") does: leading white space, an optional sign, the digits up to the first
// non-digit. kNoModel when there is no argument or no digit; kImproperCode when the number does
// not fit in 32 bits (it must not wrap around to a model).
ModelCode ConvertModelArgument(const std::optional<std::string>& argument);

}  // namespace ventrel
