#include "utility/ini.h"

#include <climits>
#include <cstdint>
#include <vector>

#include "utility/encoding.h"
#include "utility/file_store.h"
#include "utility/text.h"

namespace ventrel {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kNewFileLineEnd = "\r\n";

// One line of the file: [begin, end) is its text without the line end; next is where the
// following line starts.
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

enum class LineKind { kBlank, kComment, kSection, kKey, kOther };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;        // section name or key, trimmed
  std::size_t value_begin = 0;  // key lines: the trimmed value, quotes included, as file offsets
  std::size_t value_end = 0;
};

// Where a key is, or where it would go.
struct Location {
  bool section_found = false;
  bool key_found = false;
  std::size_t value_begin = 0;
  std::size_t value_end = 0;
  bool quoted = false;          // the value stands between a matching pair of quotes
  std::size_t insert_at = 0;    // start of the line after the section's last entry
  bool needs_line_end = false;  // that entry is the file's last line and has no line end
};

std::size_t BodyStart(std::string_view text) {
  return text.substr(0, kUtf8Mark.size()) == kUtf8Mark ? kUtf8Mark.size() : 0;
}

// Walks the lines of a text one at a time: a file of millions of short lines costs no memory.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text), pos_(BodyStart(text)) {}

  bool Next(Line& line) {
    if (pos_ >= text_.size()) {
      return false;
    }
    const std::size_t lf = text_.find('\n', pos_);
    line.begin = pos_;
    line.next = lf == std::string_view::npos ? text_.size() : lf + 1;
    line.end = lf == std::string_view::npos ? text_.size() : lf;
    if (line.end > line.begin && text_[line.end - 1] == '\r') {
      --line.end;
    }
    pos_ = line.next;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_;
};

ParsedLine ParseLine(std::string_view text, const Line& line) {
  ParsedLine parsed;
  const std::string_view raw = text.substr(line.begin, line.end - line.begin);
  const std::string_view body = TrimBlanks(raw);
  if (body.empty()) {
    parsed.kind = LineKind::kBlank;
    return parsed;
  }
  if (body.front() == ';') {
    parsed.kind = LineKind::kComment;
    return parsed;
  }
  if (body.front() == '[') {
    const std::size_t close = body.find(']');
    if (close != std::string_view::npos) {
      parsed.kind = LineKind::kSection;
      parsed.name = TrimBlanks(body.substr(1, close - 1));
      return parsed;
    }
  }
  const std::size_t eq = raw.find('=');
  if (eq == std::string_view::npos) {
    return parsed;
  }
  parsed.kind = LineKind::kKey;
  parsed.name = TrimBlanks(raw.substr(0, eq));
  const std::string_view after = raw.substr(eq + 1);
  const std::string_view value = TrimBlanks(after);
  const std::size_t lead =
      value.empty() ? 0 : static_cast<std::size_t>(value.data() - after.data());
  parsed.value_begin = line.begin + eq + 1 + lead;
  parsed.value_end = parsed.value_begin + value.size();
  return parsed;
}

bool IsQuoted(std::string_view value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front();
}

Location Locate(std::string_view text, std::string_view section, std::string_view key) {
  Location where;
  bool inside = false;
  LineCursor cursor(text);
  for (Line line; cursor.Next(line);) {
    const ParsedLine parsed = ParseLine(text, line);
    if (parsed.kind == LineKind::kSection) {
      if (where.section_found) {
        break;  // only the first section of a name counts
      }
      inside = EqualsIgnoreAsciiCase(parsed.name, section);
      where.section_found = inside;
    }
    if (!inside) {
      continue;
    }
    if (parsed.kind == LineKind::kKey && EqualsIgnoreAsciiCase(parsed.name, key)) {
      where.key_found = true;
      where.value_begin = parsed.value_begin;
      where.value_end = parsed.value_end;
      where.quoted = IsQuoted(text.substr(where.value_begin, where.value_end - where.value_begin));
      return where;
    }
    if (parsed.kind != LineKind::kBlank && parsed.kind != LineKind::kComment) {
      where.insert_at = line.next;
      where.needs_line_end = text[line.next - 1] != '\n';
    }
  }
  return where;
}

std::string_view Unquote(std::string_view value) {
  return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

std::string_view LineEndOf(std::string_view text) {
  const std::size_t lf = text.find('\n');
  if (lf == std::string_view::npos) {
    return kNewFileLineEnd;
  }
  return lf > 0 && text[lf - 1] == '\r' ? std::string_view("\r\n") : std::string_view("\n");
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// A name is storable when reading it back finds it: no line break, nothing the reader trims or
// takes for syntax.
bool IsStorableKey(std::string_view key) {
  return !key.empty() && TrimBlanks(key) == key && !HasLineBreak(key) &&
         key.find('=') == std::string_view::npos && key.front() != ';' && key.front() != '[';
}

bool IsStorableSection(std::string_view section) {
  return !section.empty() && TrimBlanks(section) == section && !HasLineBreak(section) &&
         section.find(']') == std::string_view::npos;
}

bool IsStorable(std::string_view value, std::string_view key, std::string_view section) {
  return IsStorableKey(key) && IsStorableSection(section) && !HasLineBreak(value);
}

// The value as it must stand in the file to read back unchanged: quoted when the reader would
// otherwise trim its blanks or strip its quotes.
std::string EncodeValue(std::string_view value) {
  const bool needs_quotes = TrimBlanks(value) != value || Unquote(value) != value;
  return needs_quotes ? "\"" + std::string(value) + "\"" : std::string(value);
}

}  // namespace

int ParseProfileInt(std::string_view value, int default_value) {
  value = TrimBlanks(value);
  if (value.empty()) {
    return default_value;
  }
  bool negative = false;
  if (value.front() == '+' || value.front() == '-') {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  std::int64_t magnitude = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') {
      break;
    }
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > std::int64_t{INT_MAX} + 1) {
      magnitude = std::int64_t{INT_MAX} + 1;  // saturate: a huge number must not wrap to a model
    }
  }
  const std::int64_t signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT_MAX) {
    return INT_MAX;
  }
  return static_cast<int>(signed_value);
}

bool FindIniValue(std::string_view content, std::string_view key, std::string_view section,
                  std::string& value) {
  const Location where = Locate(content, section, key);
  if (!where.key_found) {
    return false;
  }
  value = Unquote(content.substr(where.value_begin, where.value_end - where.value_begin));
  return true;
}

bool EditIniText(std::string& content, std::string_view value, std::string_view key,
                 std::string_view section) {
  if (!IsStorable(value, key, section)) {
    return false;
  }
  const Location where = Locate(content, section, key);
  if (where.key_found && where.quoted) {
    // Inside the quotes the reader takes every byte as it stands.
    content.replace(where.value_begin + 1, where.value_end - where.value_begin - 2, value);
    return true;
  }
  const std::string encoded = EncodeValue(value);
  if (where.key_found) {
    content.replace(where.value_begin, where.value_end - where.value_begin, encoded);
    return true;
  }
  const std::string line_end(LineEndOf(content));
  const std::string key_line = std::string(key) + "=" + encoded + line_end;
  // A last line that ends in a bare CR reads as if the CR were its line end: an LF completes it,
  // where a whole line end would leave the CR in its value.
  const std::string last_line_end = content.ends_with('\r') ? "\n" : line_end;
  if (where.section_found) {
    content.insert(where.insert_at, (where.needs_line_end ? last_line_end : "") + key_line);
    return true;
  }
  if (!content.empty() && content.back() != '\n' && content.size() > BodyStart(content)) {
    content += last_line_end;
  }
  content += "[" + std::string(section) + "]" + line_end + key_line;
  return true;
}

namespace {

// An entry with its names and value converted to the text a file of the given encoding holds.
struct TextEntry {
  std::string key;
  std::string value;
};

bool ToFileText(std::string_view narrow, FileEncoding encoding, std::string& text) {
  if (encoding == FileEncoding::k8Bit) {
    text = narrow;
    return true;
  }
  return Utf8FromNarrow(narrow, text);
}

// True when every entry already reads back as its value: the file then needs no replacing.
bool AlreadyStored(std::string_view bytes, const std::vector<IniEntry>& entries,
                   std::string_view section) {
  for (const IniEntry& entry : entries) {
    std::string stored;
    if (!FindIniFileValue(bytes, entry.key, section, stored) || stored != entry.value) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool FindIniFileValue(std::string_view bytes, std::string_view key, std::string_view section,
                      std::string& value) {
  const FileEncoding encoding = DetectEncoding(bytes);
  if (encoding == FileEncoding::k8Bit) {
    return FindIniValue(bytes, key, section, value);
  }
  std::string text_key;
  std::string text_section;
  if (!ToFileText(key, encoding, text_key) || !ToFileText(section, encoding, text_section)) {
    return false;
  }
  std::string text;
  std::string tail;
  DecodeUtf16(bytes, encoding, text, tail);
  std::string text_value;
  return FindIniValue(text, text_key, text_section, text_value) &&
         NarrowFromUtf8(text_value, value);
}

bool EditIniFile(std::string& bytes, const std::vector<IniEntry>& entries,
                 std::string_view section) {
  const FileEncoding encoding = DetectEncoding(bytes);
  std::string text_section;
  std::vector<TextEntry> text_entries(entries.size());
  // Everything is checked first, so that a refused entry leaves no earlier one stored.
  if (!ToFileText(section, encoding, text_section)) {
    return false;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    TextEntry& converted = text_entries[i];
    if (!ToFileText(entries[i].key, encoding, converted.key) ||
        !ToFileText(entries[i].value, encoding, converted.value) ||
        !IsStorable(converted.value, converted.key, text_section)) {
      return false;
    }
  }
  if (encoding == FileEncoding::k8Bit) {
    for (const TextEntry& entry : text_entries) {
      EditIniText(bytes, entry.value, entry.key, text_section);
    }
    return true;
  }
  std::string text;
  std::string tail;
  DecodeUtf16(bytes, encoding, text, tail);
  for (const TextEntry& entry : text_entries) {
    EditIniText(text, entry.value, entry.key, text_section);
  }
  return EncodeUtf16(text, encoding, tail, bytes);
}

bool CIni::Donne(std::string& out, std::string_view key, std::string_view default_value,
                 std::string_view section, const std::string& file) {
  std::string content;
  if (ReadWholeFile(file, content) == ReadResult::kOk &&
      FindIniFileValue(content, key, section, out)) {
    return true;
  }
  out = default_value;
  return false;
}

bool CIni::Donne(int& out, std::string_view key, int default_value, std::string_view section,
                 const std::string& file) {
  std::string text;
  const bool found = Donne(text, key, "", section, file);
  out = found ? ParseProfileInt(text, default_value) : default_value;
  return found;
}

bool CIni::Affecte(std::string_view value, std::string_view key, std::string_view section,
                   const std::string& file) {
  return Affecte({IniEntry{key, value}}, section, file);
}

bool CIni::Affecte(const std::vector<IniEntry>& entries, std::string_view section,
                   const std::string& file) {
  return UpdateWholeFile(file, [&](std::string& content) {
    if (AlreadyStored(content, entries, section)) {
      return EditResult::kUnchanged;  // leave the file and its time stamp alone
    }
    return EditIniFile(content, entries, section) ? EditResult::kChanged : EditResult::kFailed;
  });
}

}  // namespace ventrel
