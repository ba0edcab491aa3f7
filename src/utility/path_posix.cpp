// Path rules of POSIX systems: one separator, one root.
#include "utility/path.h"

namespace ventrel {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) {
  return c == '/';
}

std::size_t PathRootLength(std::string_view path) {
  return !path.empty() && path.front() == '/' ? 1 : 0;
}

}  // namespace ventrel
