#include "utility/text.h"

#include <algorithm>

namespace ventrel {
namespace {

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
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

DecimalNumber ReadDecimal(std::string_view text) {
  constexpr std::uint64_t kBeyond32Bits = std::uint64_t{1} << 31 | 1;  // larger than any that fits
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  DecimalNumber number;
  std::uint32_t low_bits = 0;   // unsigned arithmetic wraps modulo 2^32 by itself
  std::uint64_t magnitude = 0;  // held at kBeyond32Bits once past it, so that it never wraps
  for (; number.digits < text.size(); ++number.digits) {
    const char c = text[number.digits];
    if (c < '0' || c > '9') {
      break;
    }
    const auto digit = static_cast<std::uint32_t>(c - '0');
    low_bits = low_bits * 10 + digit;
    magnitude = std::min(magnitude * 10 + digit, kBeyond32Bits);
  }
  const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
  number.fits = magnitude <= limit;
  number.wrapped = static_cast<std::int32_t>(negative ? 0u - low_bits : low_bits);
  return number;
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
