// The environment as the program reads it.
#pragma once

#include <string>

namespace ventrel {

// The variable's value; empty when it is unset or set to nothing, which every reader here takes
// alike.
std::string EnvironmentValue(const char* name);

}  // namespace ventrel
