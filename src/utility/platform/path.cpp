#include "utility/platform/path.h"

namespace ventrel {
namespace {

// Index of the last separator that is not part of the root, or npos when there is none. The scan
// runs forward, character by character: backwards, a trail byte 0x5C cannot be told from a
// backslash.
std::size_t LastSeparatorAfterRoot(std::string_view path, CodePage code_page) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = PathRootLength(path, code_page); i < path.size();
       i += PathCharacterLength(path, i, code_page)) {
    if (IsPathSeparator(path[i])) {
      last = i;
    }
  }
  return last;
}

std::size_t LastComponentStart(std::string_view path, CodePage code_page) {
  const std::size_t sep = LastSeparatorAfterRoot(path, code_page);
  return sep == std::string_view::npos ? PathRootLength(path, code_page) : sep + 1;
}

bool EndsWithSeparator(std::string_view path, CodePage code_page) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); i += PathCharacterLength(path, i, code_page)) {
    last = i;
  }
  return last != std::string_view::npos && last + 1 == path.size() && IsPathSeparator(path[last]);
}

}  // namespace

std::string PathAppend(std::string_view base, std::string_view more, CodePage code_page) {
  if (base.empty()) {
    return std::string(more);
  }
  while (!more.empty() && IsPathSeparator(more.front())) {
    more.remove_prefix(1);
  }
  if (more.empty()) {
    return std::string(base);
  }
  std::string out(base);
  while (out.size() > PathRootLength(out, code_page) && EndsWithSeparator(out, code_page)) {
    out.pop_back();
  }
  if (!EndsWithSeparator(out, code_page)) {
    out += kPathSeparator;
  }
  out += more;
  return out;
}

std::string PathFolderPart(std::string_view path, CodePage code_page) {
  const std::size_t sep = LastSeparatorAfterRoot(path, code_page);
  if (sep == std::string_view::npos) {
    // The folder of "/x" is the root "/", which keeps its separator.
    return std::string(path.substr(0, PathRootLength(path, code_page)));
  }
  return std::string(path.substr(0, sep));
}

std::string PathLastComponent(std::string_view path, CodePage code_page) {
  return std::string(path.substr(LastComponentStart(path, code_page)));
}

std::string PathReplaceExtension(std::string_view path, std::string_view extension,
                                 CodePage code_page) {
  std::size_t end = path.size();
  for (std::size_t i = LastComponentStart(path, code_page); i < path.size();
       i += PathCharacterLength(path, i, code_page)) {
    if (path[i] == '.') {
      end = i;
    }
  }
  std::string out(path.substr(0, end));
  out += extension;
  return out;
}

}  // namespace ventrel
