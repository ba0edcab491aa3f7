// Path rules of POSIX systems: one separator, one root.
#include "utility/platform/path.h"

namespace ventrel {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) {
  return c == '/';
}

std::size_t PathCharacterLength(std::string_view /*path*/, std::size_t /*at*/,
                                CodePage /*code_page*/) {
  return 1;
}

std::size_t PathRootLength(std::string_view path, CodePage /*code_page*/) {
  return !path.empty() && path.front() == '/' ? 1 : 0;
}

}  // namespace ventrel
