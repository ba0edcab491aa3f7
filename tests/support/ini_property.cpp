#include "support/ini_property.h"

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include "utility/ini/file_encoding.h"
#include "utility/ini/ini.h"
#include "utility/platform/code_page.h"
#include "utility/text.h"

namespace ventrel::test {
namespace {

using std::string_view_literals::operator""sv;

// Lookups are quadratic in the names found; a fuzzer's input must not make a check take seconds.
constexpr std::size_t kMaxNames = 24;

// The lines of a text, each with its line end: CR, LF or CRLF.
std::vector<std::string_view> LinesWithEnds(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    const std::size_t next =
        end == std::string_view::npos ? text.size() : end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    lines.push_back(text.substr(pos, next - pos));
    pos = next;
  }
  return lines;
}

std::string_view WithoutEnd(std::string_view line) {
  return line.substr(0, std::min(line.find_first_of("\r\n"), line.size()));
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

// Every name the text could be asked for: what its lines name as sections and keys, as they stand
// and in lower case (names match without regard to case), with their blanks trimmed or not.
void CollectNames(std::string_view text, std::set<std::string>& sections,
                  std::set<std::string>& keys) {
  for (std::string_view line : LinesWithEnds(text)) {
    line = WithoutEnd(line);
    const std::string_view body = TrimIniBlanks(line);
    if (body.starts_with('[')) {
      const std::size_t close = body.find(']');
      if (close != std::string_view::npos) {
        const std::string_view name = TrimIniBlanks(body.substr(1, close - 1));
        sections.insert(std::string(name));
        sections.insert(Lower(name));
      }
    }
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) {
      const std::string_view name = TrimIniBlanks(line.substr(0, eq));
      keys.insert(std::string(name));
      keys.insert(Lower(name));
    }
  }
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Lookup(std::string_view text, std::string_view section, std::string_view key) {
  std::string value;
  return FindIniValue(text, key, section, value) ? "found " + Quoted(value) : "missing";
}

// Whether a line the edit added is one it may add: the section header, the key's line, or the
// line end that an unterminated last line needed.
bool IsAllowedNewLine(std::string_view line, std::string_view section, std::string_view key) {
  const std::string_view text = WithoutEnd(line);
  return text.empty() || text == "[" + std::string(section) + "]" ||
         (text.starts_with(key) && text.substr(key.size()).starts_with('='));
}

std::string CheckConfined(std::string_view before, std::string_view after, std::string_view section,
                          std::string_view key) {
  // The byte-order mark stands before the first line; it is no part of it.
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  if (before.starts_with(kMark) != after.starts_with(kMark)) {
    return "the byte-order mark was added or lost";
  }
  if (before.starts_with(kMark)) {
    before.remove_prefix(kMark.size());
    after.remove_prefix(kMark.size());
  }
  const std::vector<std::string_view> old_lines = LinesWithEnds(before);
  const std::vector<std::string_view> new_lines = LinesWithEnds(after);
  const std::size_t shorter = std::min(old_lines.size(), new_lines.size());
  std::size_t prefix = 0;
  while (prefix < shorter && old_lines[prefix] == new_lines[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (prefix + suffix < shorter &&
         old_lines[old_lines.size() - 1 - suffix] == new_lines[new_lines.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::size_t old_changed = old_lines.size() - prefix - suffix;
  const std::size_t new_changed = new_lines.size() - prefix - suffix;
  if (old_changed == 0 && new_changed == 0) {
    return {};
  }
  if (old_changed == 1 && new_changed == 1) {
    // One line edited in place: its key and its line end stay.
    const std::string_view old_line = old_lines[prefix];
    const std::string_view new_line = new_lines[prefix];
    const std::size_t eq = old_line.find('=');
    if (eq == std::string_view::npos || new_line.substr(0, eq + 1) != old_line.substr(0, eq + 1) ||
        old_line.size() - WithoutEnd(old_line).size() !=
            new_line.size() - WithoutEnd(new_line).size()) {
      return "line " + Quoted(old_line) + " became " + Quoted(new_line);
    }
    return {};
  }
  if (old_changed > 1 || new_changed > 4) {
    return "the edit changed " + std::to_string(old_changed) + " lines into " +
           std::to_string(new_changed);
  }
  std::size_t first_new = prefix;
  if (old_changed == 1) {
    // Only an unterminated last line may change, and only by getting its line end.
    const std::string_view old_line = old_lines[prefix];
    const std::string_view new_line = new_lines[prefix];
    if (old_line.ends_with('\n') || !new_line.starts_with(old_line) ||
        !WithoutEnd(new_line.substr(old_line.size())).empty()) {
      return "line " + Quoted(old_line) + " became " + Quoted(new_line);
    }
    ++first_new;
  }
  for (std::size_t i = first_new; i < prefix + new_changed; ++i) {
    if (!IsAllowedNewLine(new_lines[i], section, key)) {
      return "the edit added line " + Quoted(new_lines[i]);
    }
  }
  return {};
}

}  // namespace

std::string CheckTextEdit(std::string_view before, std::string_view after, std::string_view section,
                          std::string_view key, std::string_view value) {
  std::string read_back;
  if (!FindIniValue(after, key, section, read_back) || read_back != value) {
    return "[" + std::string(section) + "] " + std::string(key) + " reads " +
           Lookup(after, section, key) + ", not " + Quoted(value);
  }
  if (std::string broken = CheckConfined(before, after, section, key); !broken.empty()) {
    return broken;
  }
  std::set<std::string> sections{std::string(section), Lower(section)};
  std::set<std::string> keys{std::string(key), Lower(key), "absent"};
  CollectNames(before, sections, keys);
  CollectNames(after, sections, keys);
  std::size_t section_count = 0;
  for (const std::string& s : sections) {
    if (++section_count > kMaxNames) {
      break;
    }
    std::size_t key_count = 0;
    for (const std::string& k : keys) {
      if (++key_count > kMaxNames) {
        break;
      }
      if (EqualsIgnoreAsciiCase(s, section) && EqualsIgnoreAsciiCase(k, key)) {
        continue;
      }
      const std::string was = Lookup(before, s, k);
      const std::string is = Lookup(after, s, k);
      if (was != is) {
        return "[" + s + "] " + k + " read " + was + " before the edit and " + is + " after it";
      }
    }
  }
  return {};
}

std::string CheckFileEdit(std::string_view before, std::string_view after, std::string_view section,
                          std::string_view key, std::string_view value) {
  const FileEncoding encoding = DetectEncoding(before);
  if (encoding == FileEncoding::k8Bit) {
    return DetectEncoding(after) == FileEncoding::k8Bit
               ? CheckTextEdit(before, after, section, key, value)
               : "an 8-bit file became UTF-16";
  }
  if (DetectEncoding(after) != encoding) {
    return "the file lost its UTF-16 encoding";
  }
  std::string old_text;
  std::string old_tail;
  std::string new_text;
  std::string new_tail;
  DecodeUtf16(before, encoding, old_text, old_tail);
  DecodeUtf16(after, encoding, new_text, new_tail);
  std::string again;
  if (!EncodeUtf16(new_text, encoding, new_tail, again) || again != after) {
    return "the edited file does not read back as the same bytes";
  }
  if (old_tail != new_tail) {
    return "the odd last byte changed";
  }
  // The file holds the names and the value as UTF-8 text, the program its own 8-bit text.
  std::string text_section;
  std::string text_key;
  std::string text_value;
  if (!Utf8FromNarrow(section, text_section) || !Utf8FromNarrow(key, text_key) ||
      !Utf8FromNarrow(value, text_value)) {
    return "a name or the value has no UTF-8 form, yet the edit was made";
  }
  return CheckTextEdit(old_text, new_text, text_section, text_key, text_value);
}

std::string RandomIniText(std::mt19937& random) {
  // clang-format off
  static constexpr std::array<std::string_view, 32> kPieces = {
      "[BOARD]", "[board]", "  [ Board ]  ; note", "[NETWORK]", "[BOARD", "[]", "[ACQ]x",
      "TYPE=300", "type = 200", "TYPE_SUB\t=\t301 ", "TYPE=\"300\"", "TYPE='7' ", "TYPE=", "TYPE",
      "KEY=a=b", "; TYPE=1", "  ;comment", "", "   ", "SERIAL=\"x ; y\"", "=nothing",
      "K\xC3\xA9=v", "NUL=\0x"sv, "TYPE=\"", "[BOARD]=1", "TYPE = 1 ; c", "ODD\r=1", "\xFF\xFE",
      "X=1 \r", "TYPE\v=\f1\v", "\v[BOARD]", "\x1A"};
  // clang-format on
  static constexpr std::array<std::string_view, 4> kEnds = {"\n", "\r\n", "\r\r\n", "\r"};
  std::string text;
  if (random() % 6 == 0) {
    text += "\xEF\xBB\xBF";
  }
  const int lines = static_cast<int>(random() % 14);
  for (int i = 0; i < lines; ++i) {
    text += kPieces[random() % kPieces.size()];
    if (i + 1 < lines || random() % 3 != 0) {
      text += kEnds[random() % kEnds.size()];
    }
  }
  return text;
}

std::string RandomName(std::mt19937& random) {
  static constexpr std::array<std::string_view, 15> kNames = {
      "BOARD", "board", "TYPE",  "type", "TYPE_SUB", "NETWORK", "ACQ",   "K\xC3\xA9",
      "x",     "",      " TYPE", "A]B",  "A=B",      ";C",      "\vTYPE"};
  return std::string(kNames[random() % kNames.size()]);
}

std::string RandomValue(std::mt19937& random) {
  static constexpr std::array<std::string_view, 15> kValues = {
      "300", "301", "200",  "",   " 300 ", "\"q\"", "'", "a ; b",
      "x=y", "\"",  "a\nb", "\r", "\t",    "''",    "\f"};
  return std::string(kValues[random() % kValues.size()]);
}

}  // namespace ventrel::test
