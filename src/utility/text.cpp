#include "utility/text.h"

namespace ventrel {
namespace {

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimWhile(std::string_view text, bool (*is_blank)(char)) {
  while (!text.empty() && is_blank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && is_blank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  return TrimWhile(text, IsBlank);
}

bool IsIniBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A';
}

std::string_view TrimIniBlanks(std::string_view text) {
  return TrimWhile(text, IsIniBlank);
}

std::string FillInMessage(std::string_view pattern, std::string_view argument) {
  const std::size_t at = pattern.find("%s");
  if (at == std::string_view::npos) {
    return std::string(pattern);
  }
  std::string out(pattern.substr(0, at));
  out += argument;
  out += pattern.substr(at + 2);
  return out;
}

}  // namespace ventrel
