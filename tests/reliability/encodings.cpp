// Encodings and sizes: UTF-16 board and catalogue files, a UTF-8 mark, NUL bytes, a 1 MB line, a
// big file, thousands of sections, long and non-ASCII paths. No crash, memory a few times the
// file's size, and the driver's content intact after the write.
#include <cstdio>
#include <cstdlib>

#include "reliability/suite.h"
#include "utility/ini/file_encoding.h"

namespace ventrel::reliability {
namespace {

// Memory the program may take beyond a few times the file: its code, the runtime, the sanitizers'
// shadow in a sanitized build.
constexpr long kBaseMemoryKb = 48 * 1024;
constexpr long kTimesTheFile = 4;

std::string Utf16(const std::string& utf8, FileEncoding encoding) {
  std::string bytes;
  EncodeUtf16(utf8, encoding, "", bytes);
  return (encoding == FileEncoding::kUtf16Le ? "\xFF\xFE" : "\xFE\xFF") + bytes;
}

// A write of `model` that must succeed and leave exactly `expected`.
void ExpectWritten(const Options& options, Group& group, const std::string& what,
                   const Layout& layout, int model, const std::string& expected,
                   const std::string& err = "") {
  ++group.tally.cases;
  ++group.tally.faults;
  const std::string peak_file = layout.base + "/peak.txt";
  RunRequest request = layout.Request({std::to_string(model)});
  request.argv.insert(request.argv.begin(), {options.peak, peak_file});
  const RunOutcome outcome = Run(request);
  const long peak_kb = std::atol(ReadFile(peak_file).c_str());
  if (group.CheckRun(what, outcome)) {
    group.Expect(outcome.exit_status == 0, what,
                 "exit status " + std::to_string(outcome.exit_status) + ": " + outcome.err);
    group.Expect(outcome.err == err, what, "said '" + outcome.err + "'");
  }
  group.CheckFile(what, layout.board, {expected});
  group.Expect(Temporaries(layout.data).empty(), what, "a temporary file is left");
  const long size_kb = static_cast<long>(expected.size() / 1024);
  group.Expect(
      peak_kb > 0 && peak_kb <= kBaseMemoryKb + kTimesTheFile * size_kb, what,
      "took " + std::to_string(peak_kb) + " KB for a file of " + std::to_string(size_kb) + " KB");
  if (expected.size() > (8u << 20)) {
    std::printf("  %s: %zu bytes written in %ld ms, at most %ld KB of memory\n", what.c_str(),
                expected.size(), static_cast<long>(outcome.duration.count() / 1000), peak_kb);
  }
}

const char kNonAscii[] =
    "; R\xC3\xA9seau de l'unit\xC3\xA9 \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E "
    "\xF0\x9F\x98\x80\r\n[SITE]\r\nNAME=Cabinet Dr M\xC3\xBCller \xE2\x82\xAC\r\n";

void Utf16Board(const Options& options, Group& group, FileEncoding encoding,
                const std::string& what) {
  const std::string text = kNonAscii + DriverBoard(256 << 10);
  const Layout layout(options, "utf16", Utf16(text, encoding));
  ExpectWritten(options, group, what, layout, 301, Utf16(BoardAfter(text, 301), encoding));
  RemoveTree(layout.base);
}

// The catalogue in UTF-16 carries the local layout's marker: found, it sends the write to its
// brand's board file.
void Utf16Catalogue(const Options& options, Group& group) {
  const std::string board = DriverBoard(64 << 10);
  const Layout layout(options, "utf16-catalogue", board, "Unnamed Marvello product");
  WriteFile(layout.catalogue, Utf16(Catalogue("Marvello"), FileEncoding::kUtf16Le));
  ExpectWritten(options, group, "UTF-16 LE catalogue names the brand", layout, 200,
                BoardAfter(board, 200));
  RemoveTree(layout.base);
}

void Plain(const Options& options, Group& group, const std::string& what, const std::string& board,
           int model, const std::string& expected) {
  const Layout layout(options, "sizes", board);
  ExpectWritten(options, group, what, layout, model, expected);
  RemoveTree(layout.base);
}

std::string ManySections(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "[SECTION_" + std::to_string(i) + "]\r\nKEY=" + std::to_string(i) + "\r\n";
  }
  return text;
}

// Over 260 characters, with letters of several scripts in every folder name.
void LongNonAsciiPath(const Options& options, Group& group) {
  const std::size_t length = options.full ? 1500 : 400;
  std::string name =
      "donn\xC3\xA9"
      "es-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x98\x80";
  while (name.size() < length) {
    name += "/sous-dossier-tr\xC3\xA8s-long-\xC3\xB1-\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0";
  }
  const std::string board = DriverBoard(64 << 10);
  {
    const Layout layout(options, name, board);
    ExpectWritten(options, group, "path of " + std::to_string(layout.board.size()) + " bytes",
                  layout, 301, BoardAfter(board, 301));
  }
  // Its message names the whole path; the write then creates the file.
  const Layout layout(options, name, "<none>");
  ExpectWritten(options, group, "missing board file at a long path", layout, 301,
                "[BOARD]\r\nTYPE_SUB=301\r\nTYPE=300\r\n",
                "VentrelConf: File " + layout.board + " not found !\n");
  RemoveTree(options.work + "/" + name.substr(0, name.find('/')));
}

}  // namespace

void RunEncodingsAndSizes(const Options& options, Group& group, std::mt19937&) {
  Utf16Board(options, group, FileEncoding::kUtf16Le, "UTF-16 LE board file");
  Utf16Board(options, group, FileEncoding::kUtf16Be, "UTF-16 BE board file");
  Utf16Catalogue(options, group);

  const std::string board = DriverBoard(256 << 10);
  Plain(options, group, "UTF-8 mark", "\xEF\xBB\xBF" + board, 301,
        "\xEF\xBB\xBF" + BoardAfter(board, 301));
  const std::string with_nul = DriverBoard(256 << 10, true);
  Plain(options, group, "NUL bytes", with_nul, 200, BoardAfter(with_nul, 200));
  const std::string long_line = "[BLOB]\r\nDATA=" + std::string(1 << 20, 'x') + "\r\n" + board;
  Plain(options, group, "1 MB line", long_line, 301, BoardAfter(long_line, 301));
  const std::string sections = ManySections(options.full ? 50000 : 5000);
  Plain(options, group, "thousands of sections, BOARD added", sections, 301,
        sections + "[BOARD]\r\nTYPE_SUB=301\r\nTYPE=300\r\n");

  const std::size_t big = options.full ? (100u << 20) : (16u << 20);
  const std::string big_board = DriverBoard(big);
  Plain(options, group, std::to_string(big >> 20) + " MB board file", big_board, 301,
        BoardAfter(big_board, 301));
  const std::string big_text = DriverBoard(big / 4);
  const std::string big_utf16 = Utf16(big_text, FileEncoding::kUtf16Le);
  Plain(options, group, std::to_string(big_utf16.size() >> 20) + " MB UTF-16 board file", big_utf16,
        200, Utf16(BoardAfter(big_text, 200), FileEncoding::kUtf16Le));

  LongNonAsciiPath(options, group);
}

}  // namespace ventrel::reliability
