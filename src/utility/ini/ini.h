// INI access as the Windows profile functions read a file, because the unit's driver reads the
// board file that way. Each call names its own file; nothing is kept between calls.
//
// Reading rules:
// - CR, LF and CRLF each end a line (a CR right before an LF ends it together with the LF);
// - section and key names match without regard to ASCII case; blanks around section names, keys
//   and values are ignored: the C locale's isspace bytes (space, tab, LF, VT, FF, CR) and Ctrl-Z
//   (0x1A), as the profile functions take them;
// - a line "[name]" opens a section (text after the first ']' is ignored); a line without ']' opens
//   none and is read like any other line;
// - only the first section of a name is searched, and the first key of a name in it wins;
// - a line whose first non-blank byte is ';' is a comment; a line without '=' is no key; a ';'
//   inside a value belongs to the value;
// - one pair of matching quotes (" or ') around a value is removed;
// - a UTF-8 byte-order mark is skipped;
// - a missing key reads as the default text without its trailing spaces; an integer is read
//   modulo 2^32, as GetPrivateProfileInt reads it (see ParseProfileInt);
// - a file that starts with a UTF-16 byte-order mark (little- or big-endian) is UTF-16 text: names
//   and values are converted from and to the program's 8-bit text, and the file is written back in
//   UTF-16; any other file is 8-bit text, taken byte for byte (NUL bytes included).
//
// Writing changes only what it must: the value text of the first matching key (inside its quotes
// when it has them), or one new line at the end of its section, or one new section at the end of
// the file. Every other byte stays. An added line ends as the line it follows does; after a last
// line without a line end, or with a bare CR, it takes the file's first line end (completing that
// CR with an LF unless the file ends its lines in CR alone). Each write is one locked
// read-modify-replace of the whole file (see UpdateWholeFile), so concurrent writers through this
// class never lose each other's keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "utility/store/file_store.h"

namespace ventrel {

struct IniEntry {
  std::string_view key;
  std::string_view value;
};

class CIni {
 public:
  CIni() = default;
  CIni(const CIni&) = delete;
  CIni& operator=(const CIni&) = delete;
  virtual ~CIni() = default;

  // Reads text. True when the key exists; otherwise `out` holds `default_value` as read (see
  // DefaultAsRead).
  bool Donne(std::string& out, std::string_view key, std::string_view default_value,
             std::string_view section, const std::string& file);

  // Reads an integer as GetPrivateProfileInt does (see ParseProfileInt); a missing value gives the
  // default. True when the key exists.
  bool Donne(int& out, std::string_view key, int default_value, std::string_view section,
             const std::string& file);

  // Stores `value` under the key and section, creating the file, the section or the key where
  // missing (with the line ends of the file around them; CRLF in a new file). False, with the file
  // untouched, when a name or value cannot be stored as such or the file cannot be read or
  // replaced; the result then tells why, as far as the system does.
  WriteResult Affecte(std::string_view value, std::string_view key, std::string_view section,
                      const std::string& file);

  // Stores several keys of one section in order, as one replacement of the file: a reader never
  // sees some of them stored and others not. False, with the file untouched, if any one fails.
  WriteResult Affecte(const std::vector<IniEntry>& entries, std::string_view section,
                      const std::string& file);
};

// The editing rules on text: every entry stored in order, in one pass, as if each were stored on
// what the one before left. kUnchanged, with `content` untouched, when every entry already reads
// back as its value; kFailed, untouched too, when a name or value cannot be stored as such.
EditResult EditIniText(std::string& content, const std::vector<IniEntry>& entries,
                       std::string_view section);

// The reading rules on text: the value of the key, or false when it is missing.
bool FindIniValue(std::string_view content, std::string_view key, std::string_view section,
                  std::string& value);

// The reading rules on a file's bytes in whatever encoding it has (see above); `value` is in the
// program's 8-bit text.
bool FindIniFileValue(std::string_view bytes, std::string_view key, std::string_view section,
                      std::string& value);

// The editing rules on a file's bytes, the same in whatever encoding it has: 8-bit text, or UTF-16
// edited as UTF-8 and written back in its own encoding, so that no other byte changes.
EditResult EditIniFile(std::string& bytes, const std::vector<IniEntry>& entries,
                       std::string_view section);

// The integer reading rule on one value: an empty value gives the default; otherwise an optional
// sign and the digits up to the first non-digit (none gives 0), modulo 2^32 as a 32-bit signed
// integer, so that 4294967496 reads as 200, as the driver reads it.
int ParseProfileInt(std::string_view value, int default_value);

// The text default as the profile functions give it back: without its trailing spaces, though
// never shorter than its first byte.
std::string_view DefaultAsRead(std::string_view default_value);

}  // namespace ventrel
