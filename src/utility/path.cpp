#include "utility/path.h"

namespace ventrel {
namespace {

// Index one past the last separator that is not part of the root, or npos when there is none.
std::size_t LastSeparatorAfterRoot(std::string_view path) {
  const std::size_t root = PathRootLength(path);
  for (std::size_t i = path.size(); i > root; --i) {
    if (IsPathSeparator(path[i - 1])) {
      return i - 1;
    }
  }
  return std::string_view::npos;
}

std::size_t LastComponentStart(std::string_view path) {
  const std::size_t sep = LastSeparatorAfterRoot(path);
  return sep == std::string_view::npos ? PathRootLength(path) : sep + 1;
}

}  // namespace

std::string PathAppend(std::string_view base, std::string_view more) {
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
  while (out.size() > PathRootLength(out) && IsPathSeparator(out.back())) {
    out.pop_back();
  }
  if (!IsPathSeparator(out.back())) {
    out += kPathSeparator;
  }
  out += more;
  return out;
}

std::string PathFolderPart(std::string_view path) {
  const std::size_t sep = LastSeparatorAfterRoot(path);
  if (sep == std::string_view::npos) {
    // The folder of "/x" is the root "/", which keeps its separator.
    return std::string(path.substr(0, PathRootLength(path)));
  }
  return std::string(path.substr(0, sep));
}

std::string PathLastComponent(std::string_view path) {
  return std::string(path.substr(LastComponentStart(path)));
}

std::string PathReplaceExtension(std::string_view path, std::string_view extension) {
  const std::size_t start = LastComponentStart(path);
  const std::size_t dot = path.rfind('.');
  std::string out(
      path.substr(0, dot != std::string_view::npos && dot >= start ? dot : path.size()));
  out += extension;
  return out;
}

}  // namespace ventrel
