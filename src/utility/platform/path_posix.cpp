// Path rules of POSIX systems: one separator, one root.
#include "utility/platform/path.h"

#include "utility/text.h"

namespace ventrel {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) {
  return c == '/';
}

std::size_t PathCharacterLength(std::string_view /*path*/, std::size_t /*at*/,
                                CodePage /*code_page*/) {
  return 1;
}

// As the locator has always compared them here; the file system itself tells case apart.
bool PathsEqualIgnoringCase(std::string_view a, std::string_view b) {
  return EqualsIgnoreAsciiCase(a, b);
}

std::size_t PathRootLength(std::string_view path, CodePage /*code_page*/) {
  return !path.empty() && path.front() == '/' ? 1 : 0;
}

}  // namespace ventrel
