// The program's 8-bit text on Linux is UTF-8, so values pass as they are.
#include "utility/platform/code_page.h"

namespace ventrel {

bool Utf8FromNarrow(std::string_view narrow, std::string& utf8) {
  utf8 = narrow;
  return true;
}

bool NarrowFromUtf8(std::string_view utf8, std::string& narrow) {
  narrow = utf8;
  return true;
}

}  // namespace ventrel
