// The INI reader on any bytes: it never crashes, reads as a second, plainer statement of the same
// rules does, and the UTF-16 codec gives back every byte it was given.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "utility/ini/file_encoding.h"
#include "utility/ini/ini.h"

namespace {

using ventrel::fuzz::Check;

// The blanks around names and values: the C locale's isspace set, and Ctrl-Z.
constexpr std::string_view kIniBlanks = " \t\n\v\f\r\x1A";

std::string_view Trim(std::string_view text, std::string_view blanks = kIniBlanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) {
      return false;
    }
  }
  return true;
}

// The reading rules as a user would state them, one line after another.
std::optional<std::string> ReferenceLookup(std::string_view text, std::string_view section,
                                           std::string_view key) {
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  bool inside = false;
  bool found_section = false;
  while (!text.empty()) {
    // A line ends at CR, LF or CRLF.
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    const std::size_t next =
        end == std::string_view::npos ? text.size() : end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    text.remove_prefix(next);
    const std::string_view body = Trim(line);
    if (body.empty() || body.front() == ';') {
      continue;
    }
    if (body.front() == '[' && body.find(']') != std::string_view::npos) {
      if (found_section) {
        return std::nullopt;  // a later section of the same name is never searched
      }
      inside = SameName(Trim(body.substr(1, body.find(']') - 1)), section);
      found_section = inside;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!inside || eq == std::string_view::npos || !SameName(Trim(line.substr(0, eq)), key)) {
      continue;
    }
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return std::nullopt;
}

// GetPrivateProfileInt's rule: the number modulo 2^32, taken as a signed 32-bit value.
int ReferenceProfileInt(std::string_view value, int default_value) {
  constexpr long long kModulus = 1LL << 32;
  value = Trim(value, " \t");
  if (value.empty()) {
    return default_value;
  }
  const bool negative = value.front() == '-';
  if (value.front() == '-' || value.front() == '+') {
    value.remove_prefix(1);
  }
  long long remainder = 0;
  for (const char c : value.substr(0, value.find_first_not_of("0123456789"))) {
    remainder = (remainder * 10 + (c - '0')) % kModulus;
  }
  if (negative) {
    remainder = (kModulus - remainder) % kModulus;
  }
  return static_cast<int>(remainder > INT_MAX ? remainder - kModulus : remainder);
}

// The text default as the profile functions give it back: trailing spaces go, the first byte
// stays.
std::string_view ReferenceDefault(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(
      0, last == std::string_view::npos ? std::min<std::size_t>(text.size(), 1) : last + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = input.ConsumeRandomLengthString(24);
  const std::string key = input.ConsumeRandomLengthString(24);
  const std::string content = input.ConsumeRemainingBytesAsString();
  const std::string detail = "[" + section + "] " + key + "\n" + content;

  std::string value = "unset";
  const bool found = ventrel::FindIniValue(content, key, section, value);
  const std::optional<std::string> expected = ReferenceLookup(content, section, key);
  Check(found == expected.has_value(), "the reader and the rules disagree on presence", detail);
  if (found) {
    Check(value == *expected, "the reader and the rules disagree on the value", detail);
    Check(ventrel::ParseProfileInt(value, -7) == ReferenceProfileInt(value, -7),
          "the integer reading is wrong", value);
    Check(ventrel::DefaultAsRead(value) == ReferenceDefault(value),
          "the default is not given back as the profile functions give it", value);
  }

  std::string file_value;
  const bool file_found = ventrel::FindIniFileValue(content, key, section, file_value);
  const ventrel::FileEncoding encoding = ventrel::DetectEncoding(content);
  if (encoding == ventrel::FileEncoding::k8Bit) {
    Check(file_found == found && (!found || file_value == value),
          "an 8-bit file reads differently from its text", detail);
    return 0;
  }
  std::string utf8;
  std::string tail;
  ventrel::DecodeUtf16(content, encoding, utf8, tail);
  std::string again;
  Check(ventrel::EncodeUtf16(utf8, encoding, tail, again) && again == content,
        "UTF-16 does not read back as the same bytes", content);
  return 0;
}
