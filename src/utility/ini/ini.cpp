#include "utility/ini/ini.h"

#include <algorithm>
#include <vector>

#include "utility/ini/file_encoding.h"
#include "utility/platform/code_page.h"
#include "utility/store/file_store.h"
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
  std::string_view name;       // section name or key, trimmed
  std::size_t area_begin = 0;  // key lines: what follows the '=' up to the line end, as file
  std::size_t area_end = 0;    // offsets; the value is that text without its blanks
};

std::size_t BodyStart(std::string_view text) {
  return text.substr(0, kUtf8Mark.size()) == kUtf8Mark ? kUtf8Mark.size() : 0;
}

bool IsLineBreak(char c) {
  return c == '\n' || c == '\r';
}

// Walks the lines of a text one at a time: a file of millions of short lines costs no memory. CR,
// LF and CRLF each end a line, as for the profile functions.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text)
      : text_(text),
        pos_(BodyStart(text)),
        next_lf_(text.find('\n', pos_)),
        next_cr_(text.find('\r', pos_)) {}

  bool Next(Line& line) {
    if (pos_ >= text_.size()) {
      return false;
    }
    line.begin = pos_;
    line.end = LineBreakFrom(pos_);
    line.next = line.end;
    if (line.next < text_.size()) {
      line.next += text_.substr(line.next, 2) == "\r\n" ? 2 : 1;
    }
    pos_ = line.next;
    return true;
  }

  // Skips to the next line whose first byte other than blanks is `c`. A search for the byte alone
  // goes through a big file many times faster than taking its lines one by one.
  void SkipToLineStartingWith(char c) {
    for (std::size_t at = text_.find(c, pos_); at != std::string_view::npos;
         at = text_.find(c, at + 1)) {
      std::size_t begin = at;
      while (begin > pos_ && IsIniBlank(text_[begin - 1]) && !IsLineBreak(text_[begin - 1])) {
        --begin;
      }
      if (begin == pos_ || IsLineBreak(text_[begin - 1])) {
        pos_ = begin;
        return;
      }
    }
    pos_ = text_.size();
  }

 private:
  // The first CR or LF from `from` on. Each byte's search result is kept until the walk passes
  // it: a file with one kind of line end is not searched to its end for the other at every line.
  std::size_t LineBreakFrom(std::size_t from) {
    if (next_lf_ < from) {
      next_lf_ = text_.find('\n', from);
    }
    if (next_cr_ < from) {
      next_cr_ = text_.find('\r', from);
    }
    return std::min({next_lf_, next_cr_, text_.size()});
  }

  std::string_view text_;
  std::size_t pos_;
  std::size_t next_lf_;
  std::size_t next_cr_;
};

ParsedLine ParseLine(std::string_view text, const Line& line) {
  ParsedLine parsed;
  const std::string_view raw = text.substr(line.begin, line.end - line.begin);
  const std::string_view body = TrimIniBlanks(raw);
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
      parsed.name = TrimIniBlanks(body.substr(1, close - 1));
      return parsed;
    }
  }
  const std::size_t eq = raw.find('=');
  if (eq == std::string_view::npos) {
    return parsed;
  }
  parsed.kind = LineKind::kKey;
  parsed.name = TrimIniBlanks(raw.substr(0, eq));
  parsed.area_begin = line.begin + eq + 1;
  parsed.area_end = line.end;
  return parsed;
}

bool IsQuoted(std::string_view value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front();
}

// Where a key stands: what follows its '=' up to the line end.
struct KeySpot {
  bool found = false;
  std::size_t area_begin = 0;
  std::size_t area_end = 0;
};

// What one pass over a text finds of a section and of the keys a read or a write asks for.
struct SectionScan {
  bool section_found = false;
  Line last_entry;            // the section's header or last entry, after which new keys go
  std::vector<KeySpot> keys;  // one per key asked for, in the same order
};

// Reads the lines of the first section of the name, and no further once every key is found: the
// rest of the file is never looked at.
SectionScan ScanSection(std::string_view text, std::string_view section,
                        const std::vector<std::string_view>& keys) {
  SectionScan scan;
  scan.keys.resize(keys.size());
  std::size_t missing = keys.size();
  bool inside = false;
  LineCursor cursor(text);
  for (Line line;;) {
    // Only a line that starts with '[' can open a section: outside the one looked for, no other
    // line needs reading, which makes the pass over a big file's other sections cheap.
    if (!inside) {
      cursor.SkipToLineStartingWith('[');
    }
    if (!cursor.Next(line)) {
      break;
    }
    const ParsedLine parsed = ParseLine(text, line);
    if (parsed.kind == LineKind::kSection) {
      if (scan.section_found) {
        break;  // only the first section of a name counts
      }
      inside = EqualsIgnoreAsciiCase(parsed.name, section);
      scan.section_found = inside;
    }
    if (!inside) {
      continue;
    }
    if (parsed.kind == LineKind::kKey) {
      for (std::size_t i = 0; i < keys.size(); ++i) {
        KeySpot& spot = scan.keys[i];
        if (!spot.found && EqualsIgnoreAsciiCase(parsed.name, keys[i])) {
          spot = KeySpot{true, parsed.area_begin, parsed.area_end};
          --missing;
        }
      }
      if (missing == 0 && !keys.empty()) {
        return scan;  // where a new line would go no longer matters
      }
    }
    if (parsed.kind != LineKind::kBlank && parsed.kind != LineKind::kComment) {
      scan.last_entry = line;
    }
  }
  return scan;
}

std::string_view Unquote(std::string_view value) {
  return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

// The line end the file's first line has (CRLF when it has none).
std::string_view FirstLineEnd(std::string_view text) {
  const std::size_t at = text.find_first_of("\r\n", BodyStart(text));
  if (at == std::string_view::npos) {
    return kNewFileLineEnd;
  }
  return text.substr(at, text.substr(at, 2) == "\r\n" ? 2 : 1);
}

// How lines added after a line join it: what completes that line, and the line end of the added
// lines. They take the line end of the line they follow, except after a last line that has none
// or only a bare CR (a CRLF cut short, or a file of CR line ends): the file's first line end then,
// and an LF completes the CR unless the file ends its lines with CR alone.
struct Joint {
  std::string completion;
  std::string line_end;
};

Joint JointAfter(std::string_view text, std::string_view own_end) {
  const bool last = own_end.data() + own_end.size() == text.data() + text.size();
  if (!own_end.empty() && (!last || own_end != "\r")) {
    return {"", std::string(own_end)};
  }
  const std::string file_end(FirstLineEnd(text));
  if (own_end.empty()) {
    return {text.size() > BodyStart(text) ? file_end : "", file_end};
  }
  return {file_end == "\r" ? "" : "\n", file_end};
}

// The line end of a text's last line: empty when it has none.
std::string_view LastLineEnd(std::string_view text) {
  if (text.ends_with("\r\n")) {
    return text.substr(text.size() - 2);
  }
  const bool breaks = !text.empty() && IsLineBreak(text.back());
  return text.substr(text.size() - (breaks ? 1 : 0));
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// A name is storable when reading it back finds it: no line break, nothing the reader trims or
// takes for syntax.
bool IsStorableKey(std::string_view key) {
  return !key.empty() && TrimIniBlanks(key) == key && !HasLineBreak(key) &&
         key.find('=') == std::string_view::npos && key.front() != ';' && key.front() != '[';
}

bool IsStorableSection(std::string_view section) {
  return !section.empty() && TrimIniBlanks(section) == section && !HasLineBreak(section) &&
         section.find(']') == std::string_view::npos;
}

bool IsStorable(std::string_view value, std::string_view key, std::string_view section) {
  return IsStorableKey(key) && IsStorableSection(section) && !HasLineBreak(value);
}

// The value as it must stand in the file to read back unchanged: quoted when the reader would
// otherwise trim its blanks or strip its quotes.
std::string EncodeValue(std::string_view value) {
  const bool needs_quotes = TrimIniBlanks(value) != value || Unquote(value) != value;
  return needs_quotes ? "\"" + std::string(value) + "\"" : std::string(value);
}

// The value as it reads from what follows a key's '='.
std::string_view ValueIn(std::string_view area) {
  return Unquote(TrimIniBlanks(area));
}

// Stores `value` in what follows a key's '=', as a read would then find it: inside the quotes when
// the value stands in quotes (the reader takes every byte there as it stands), encoded otherwise;
// the blanks around it stay. An empty value leaves its blanks after the next one stored, as a
// reader that trims them finds the value right after the '='.
void StoreValue(std::string& area, std::string_view value) {
  const std::string_view current = TrimIniBlanks(area);
  const std::size_t begin =
      current.empty() ? 0 : static_cast<std::size_t>(current.data() - area.data());
  if (IsQuoted(current)) {
    area.replace(begin + 1, current.size() - 2, value);
  } else {
    area.replace(begin, current.size(), EncodeValue(value));
  }
}

// One key of a write, whatever the spelling of the entries that name it: what follows its '=' as
// the entries leave it, and whether it already stands in the section or gets a line of its own.
struct KeyEdit {
  std::string_view key;
  KeySpot spot;
  std::string area;
};

// A stretch of the text replaced by new text.
struct Splice {
  std::size_t at = 0;
  std::size_t length = 0;
  std::string text;
};

// Applies splices, in order and apart from each other, as one replacement of the stretch that
// holds them all: the content after it moves once, and not at all when the sizes match, as when
// one model replaces another.
void ApplySplices(std::string& content, const std::vector<Splice>& splices) {
  if (splices.empty()) {
    return;
  }
  const std::size_t first = splices.front().at;
  const std::size_t last = splices.back().at + splices.back().length;
  std::string stretch;
  std::size_t pos = first;
  for (const Splice& splice : splices) {
    stretch.append(content, pos, splice.at - pos);
    stretch += splice.text;
    pos = splice.at + splice.length;
  }
  content.replace(first, last - first, stretch);
}

// The new lines of the keys that do not stand in the section yet, in the order the entries first
// name them, each as the entries leave it.
std::string NewKeyLines(const std::vector<KeyEdit>& edits, std::string_view line_end) {
  std::string lines;
  for (const KeyEdit& edit : edits) {
    if (!edit.spot.found) {
      lines.append(edit.key).append("=").append(edit.area).append(line_end);
    }
  }
  return lines;
}

}  // namespace

EditResult EditIniText(std::string& content, const std::vector<IniEntry>& entries,
                       std::string_view section) {
  std::vector<std::string_view> keys;
  for (const IniEntry& entry : entries) {
    keys.push_back(entry.key);
  }
  const SectionScan scan = ScanSection(content, section, keys);
  bool stored = true;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!IsStorable(entries[i].value, entries[i].key, section)) {
      return EditResult::kFailed;
    }
    const KeySpot& spot = scan.keys[i];
    stored = stored && spot.found &&
             ValueIn(std::string_view(content).substr(
                 spot.area_begin, spot.area_end - spot.area_begin)) == entries[i].value;
  }
  if (stored) {
    return EditResult::kUnchanged;  // leave the file and its time stamp alone
  }

  std::vector<KeyEdit> edits;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    auto same_key = [&](const KeyEdit& edit) {
      return EqualsIgnoreAsciiCase(edit.key, entries[i].key);
    };
    auto edit = std::find_if(edits.begin(), edits.end(), same_key);
    if (edit == edits.end()) {
      const KeySpot& spot = scan.keys[i];
      const std::string area =
          spot.found ? content.substr(spot.area_begin, spot.area_end - spot.area_begin) : "";
      edit = edits.insert(edits.end(), KeyEdit{entries[i].key, spot, area});
    }
    StoreValue(edit->area, entries[i].value);
  }

  std::vector<Splice> splices;
  for (const KeyEdit& edit : edits) {
    if (edit.spot.found) {
      splices.push_back(
          {edit.spot.area_begin, edit.spot.area_end - edit.spot.area_begin, edit.area});
    }
  }
  std::sort(splices.begin(), splices.end(),
            [](const Splice& a, const Splice& b) { return a.at < b.at; });
  if (scan.section_found) {
    const Line& last = scan.last_entry;
    const Joint joint =
        JointAfter(content, std::string_view(content).substr(last.end, last.next - last.end));
    const std::string new_lines = NewKeyLines(edits, joint.line_end);
    if (!new_lines.empty()) {
      splices.push_back({last.next, 0, joint.completion + new_lines});
    }
    ApplySplices(content, splices);
    return EditResult::kChanged;
  }
  const Joint joint = JointAfter(content, LastLineEnd(content));
  const std::string new_lines = NewKeyLines(edits, joint.line_end);
  content.append(joint.completion).append("[").append(section).append("]");
  content.append(joint.line_end).append(new_lines);
  return EditResult::kChanged;
}

int ParseProfileInt(std::string_view value, int default_value) {
  value = TrimBlanks(value);
  return value.empty() ? default_value : ReadDecimal(value).wrapped;
}

std::string_view DefaultAsRead(std::string_view default_value) {
  std::size_t length = default_value.size();
  while (length > 1 && default_value[length - 1] == ' ') {
    --length;
  }
  return default_value.substr(0, length);
}

bool FindIniValue(std::string_view content, std::string_view key, std::string_view section,
                  std::string& value) {
  const KeySpot spot = ScanSection(content, section, {key}).keys.front();
  if (!spot.found) {
    return false;
  }
  value = ValueIn(content.substr(spot.area_begin, spot.area_end - spot.area_begin));
  return true;
}

// The entries are converted to the file's text; an 8-bit file is edited where it lies, a UTF-16
// one as UTF-8 text.
EditResult EditIniFile(std::string& bytes, const std::vector<IniEntry>& entries,
                       std::string_view section) {
  const FileEncoding encoding = DetectEncoding(bytes);
  if (entries.empty() || encoding == FileEncoding::k8Bit) {
    return entries.empty() ? EditResult::kUnchanged : EditIniText(bytes, entries, section);
  }
  // Every name and value as UTF-8 text, held here for the entries that point into it.
  std::vector<std::string> texts(2 * entries.size() + 1);
  std::vector<IniEntry> text_entries(entries.size());
  if (!Utf8FromNarrow(section, texts.back())) {
    return EditResult::kFailed;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!Utf8FromNarrow(entries[i].key, texts[2 * i]) ||
        !Utf8FromNarrow(entries[i].value, texts[2 * i + 1])) {
      return EditResult::kFailed;
    }
    text_entries[i] = {texts[2 * i], texts[2 * i + 1]};
  }
  std::string text;
  std::string tail;
  DecodeUtf16(bytes, encoding, text, tail);
  const EditResult edited = EditIniText(text, text_entries, texts.back());
  if (edited != EditResult::kChanged) {
    return edited;
  }
  return EncodeUtf16(text, encoding, tail, bytes) ? EditResult::kChanged : EditResult::kFailed;
}

bool FindIniFileValue(std::string_view bytes, std::string_view key, std::string_view section,
                      std::string& value) {
  const FileEncoding encoding = DetectEncoding(bytes);
  if (encoding == FileEncoding::k8Bit) {
    return FindIniValue(bytes, key, section, value);
  }
  std::string text_key;
  std::string text_section;
  if (!Utf8FromNarrow(key, text_key) || !Utf8FromNarrow(section, text_section)) {
    return false;
  }
  std::string text;
  std::string tail;
  DecodeUtf16(bytes, encoding, text, tail);
  std::string text_value;
  return FindIniValue(text, text_key, text_section, text_value) &&
         NarrowFromUtf8(text_value, value);
}

bool CIni::Donne(std::string& out, std::string_view key, std::string_view default_value,
                 std::string_view section, const std::string& file) {
  std::string content;
  if (ReadWholeFile(file, content) == ReadResult::kOk &&
      FindIniFileValue(content, key, section, out)) {
    return true;
  }
  out = DefaultAsRead(default_value);
  return false;
}

bool CIni::Donne(int& out, std::string_view key, int default_value, std::string_view section,
                 const std::string& file) {
  std::string text;
  const bool found = Donne(text, key, "", section, file);
  out = found ? ParseProfileInt(text, default_value) : default_value;
  return found;
}

WriteResult CIni::Affecte(std::string_view value, std::string_view key, std::string_view section,
                          const std::string& file) {
  return Affecte({IniEntry{key, value}}, section, file);
}

WriteResult CIni::Affecte(const std::vector<IniEntry>& entries, std::string_view section,
                          const std::string& file) {
  return UpdateWholeFile(
      file, [&](std::string& content) { return EditIniFile(content, entries, section); });
}

}  // namespace ventrel
