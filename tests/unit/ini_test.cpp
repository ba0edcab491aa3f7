#include "utility/ini/ini.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "support/temp_dir.h"
#include "utility/ini/file_encoding.h"
#include "utility/platform/code_page.h"

namespace ventrel {
namespace {

#ifdef _WIN32
// How the driver reads a key of a file: through the profile functions, the reference for our rules.
std::string DriverReads(const std::string& file, const char* section, const char* key) {
  char value[4096] = {};
  ::GetPrivateProfileStringA(section, key, "\x01missing", value, sizeof value, file.c_str());
  return value;
}
#endif

struct ReadCase {
  const char* name;
  std::string content;
  const char* section;
  const char* key;
  bool found;
  const char* value;
};

class IniReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, FindsValueAsTheProfileFunctionsDo) {
  const ReadCase& c = GetParam();
  std::string value = "untouched";
  EXPECT_EQ(FindIniValue(c.content, c.key, c.section, value), c.found);
  if (c.found) {
    EXPECT_EQ(value, c.value);
  }
#ifdef _WIN32
  test::TempDir dir;
  const std::string file = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(file, c.content);
  CIni ini;
  EXPECT_EQ(ini.Donne(value, c.key, "\x01missing", c.section, file), c.found);
  // Wine's profile functions take a line without '=' for a key without a value, which hides the
  // keys of its name after it; these rules take it for no key (see ini.h).
  if (std::string_view(c.name) != "line_without_equals") {
    EXPECT_EQ(DriverReads(file, c.section, c.key), value) << "the profile functions read otherwise";
  }
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniReadTest,
    testing::Values(
        ReadCase{"plain", "[BOARD]\nTYPE=300\n", "BOARD", "TYPE", true, "300"},
        ReadCase{"section_case", "[board]\nTYPE=1\n", "BOARD", "TYPE", true, "1"},
        ReadCase{"key_case", "[BOARD]\ntype_sub=2\n", "BOARD", "TYPE_SUB", true, "2"},
        ReadCase{"blanks_everywhere", "  [ BOARD ]  \n \t TYPE \t=  300 \t\n", "BOARD", "TYPE",
                 true, "300"},
        ReadCase{"text_after_bracket", "[BOARD] ; the board\nTYPE=3\n", "BOARD", "TYPE", true, "3"},
        ReadCase{"no_closing_bracket_opens_nothing", "[OTHER]\n[BOARD\nTYPE=3\n", "BOARD", "TYPE",
                 false, ""},
        ReadCase{"unclosed_line_keeps_current_section", "[BOARD]\n[oops\nTYPE=3\n", "BOARD", "TYPE",
                 true, "3"},
        ReadCase{"first_section_only", "[BOARD]\nA=1\n[BOARD]\nTYPE=2\n", "BOARD", "TYPE", false,
                 ""},
        ReadCase{"first_key_wins", "[BOARD]\nTYPE=1\nTYPE=2\n", "BOARD", "TYPE", true, "1"},
        ReadCase{"comment_line", "[BOARD]\n;TYPE=1\n  ; TYPE=2\nTYPE=3\n", "BOARD", "TYPE", true,
                 "3"},
        ReadCase{"semicolon_in_value", "[BOARD]\nTYPE=300 ; note\n", "BOARD", "TYPE", true,
                 "300 ; note"},
        ReadCase{"line_without_equals", "[BOARD]\nTYPE\nTYPE = 4\n", "BOARD", "TYPE", true, "4"},
        ReadCase{"double_quotes", "[BOARD]\nTYPE=\" 300 \"\n", "BOARD", "TYPE", true, " 300 "},
        ReadCase{"single_quotes", "[BOARD]\nTYPE='x'\n", "BOARD", "TYPE", true, "x"},
        ReadCase{"one_pair_only", "[BOARD]\nTYPE=\"\"x\"\"\n", "BOARD", "TYPE", true, "\"x\""},
        ReadCase{"unmatched_quotes", "[BOARD]\nTYPE=\"x'\n", "BOARD", "TYPE", true, "\"x'"},
        ReadCase{"lone_quote", "[BOARD]\nTYPE=\"\n", "BOARD", "TYPE", true, "\""},
        ReadCase{"empty_value", "[BOARD]\nTYPE=\n", "BOARD", "TYPE", true, ""},
        ReadCase{"utf8_mark", "\xEF\xBB\xBF[BOARD]\r\nTYPE=7\r\n", "BOARD", "TYPE", true, "7"},
        ReadCase{"crlf", "[A]\r\nX=1\r\n[BOARD]\r\nTYPE=8\r\n", "BOARD", "TYPE", true, "8"},
        ReadCase{"no_final_line_end", "[BOARD]\nTYPE=9", "BOARD", "TYPE", true, "9"},
        ReadCase{"key_before_any_section", "TYPE=1\n[BOARD]\n", "BOARD", "TYPE", false, ""},
        ReadCase{"key_in_other_section", "[OTHER]\nTYPE=1\n", "BOARD", "TYPE", false, ""},
        ReadCase{"equals_in_value", "[BOARD]\nPATH=a=b\n", "BOARD", "PATH", true, "a=b"},
        ReadCase{"empty_file", "", "BOARD", "TYPE", false, ""},
        ReadCase{"bare_cr_ends_a_line", "[NETWORK]\r\nUNIT_PORT=5000\r[BOARD]\r\nTYPE=200\r\n",
                 "BOARD", "TYPE", true, "200"},
        ReadCase{"cr_only", "[NETWORK]\rA=1\r[BOARD]\rTYPE=200\rX=1\r", "BOARD", "TYPE", true,
                 "200"},
        ReadCase{"cr_before_crlf", "[BOARD]\r\r\nTYPE=301\r\r\n", "BOARD", "TYPE", true, "301"},
        ReadCase{"cr_inside_key_ends_its_line", "[BOARD]\nTYPE\r=200\n", "BOARD", "TYPE", false,
                 ""},
        ReadCase{"vertical_tab_after_key", "[BOARD]\r\nTYPE\v=200\r\n", "BOARD", "TYPE", true,
                 "200"},
        ReadCase{"form_feed_before_value", "[BOARD]\r\nTYPE=\f300\r\n", "BOARD", "TYPE", true,
                 "300"},
        ReadCase{"vertical_tab_before_section", "\v[BOARD]\r\nTYPE=200\r\n", "BOARD", "TYPE", true,
                 "200"},
        ReadCase{"vertical_tab_after_value", "[VentrelV1]\r\nDISPLAY=2D\v\r\n", "VentrelV1",
                 "DISPLAY", true, "2D"},
        ReadCase{"ctrl_z_and_form_feed_are_blanks",
                 "[\vBOARD\f]\r\nTYPE=\x1A"
                 "200\x1A\r\n",
                 "BOARD", "TYPE", true, "200"},
        ReadCase{"blanks_inside_quotes_stay", "[BOARD]\r\nTYPE=\v\"\f300\f\"\v\r\n", "BOARD",
                 "TYPE", true, "\f300\f"}),
    [](const testing::TestParamInfo<ReadCase>& param_info) {
      return std::string(param_info.param.name);
    });

struct EditCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

class IniEditTest : public testing::TestWithParam<EditCase> {};

TEST_P(IniEditTest, ChangesOnlyWhatItMust) {
  const EditCase& c = GetParam();
  std::string content = c.before;
  ASSERT_NE(EditIniText(content, {{c.key, c.value}}, c.section), EditResult::kFailed);
  EXPECT_EQ(content, c.after);
  std::string read_back;
  ASSERT_TRUE(FindIniValue(content, c.key, c.section, read_back));
  EXPECT_EQ(read_back, c.value);
#ifdef _WIN32
  test::TempDir dir;
  const std::string file = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(file, c.before);
  CIni ini;
  ASSERT_TRUE(ini.Affecte(c.value, c.key, c.section, file));
  EXPECT_EQ(test::ReadFile(file), c.after);
  EXPECT_EQ(DriverReads(file, c.section, c.key), c.value) << "the profile functions read otherwise";
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniEditTest,
    testing::Values(
        EditCase{"replace_value", "[BOARD]\nTYPE=200\n", "BOARD", "TYPE", "300",
                 "[BOARD]\nTYPE=300\n"},
        EditCase{"keeps_spacing_and_spelling", "; c\r\n[board]\r\n  Type =  200  \r\nX=1\r\n",
                 "BOARD", "TYPE", "301", "; c\r\n[board]\r\n  Type =  301  \r\nX=1\r\n"},
        EditCase{"keeps_quotes", "[BOARD]\nTYPE=\"200\" \n", "BOARD", "TYPE", "300",
                 "[BOARD]\nTYPE=\"300\" \n"},
        EditCase{"inside_quotes_any_value_reads_back", "[S]\nK='x'\n", "S", "K", "\" y\"",
                 "[S]\nK='\" y\"'\n"},
        EditCase{"fills_empty_value", "[BOARD]\nTYPE=\nX=1", "BOARD", "TYPE", "300",
                 "[BOARD]\nTYPE=300\nX=1"},
        EditCase{"first_of_duplicates", "[BOARD]\nTYPE=1\nTYPE=2\n", "BOARD", "TYPE", "3",
                 "[BOARD]\nTYPE=3\nTYPE=2\n"},
        EditCase{"key_added_after_last_entry", "[BOARD]\nTYPE=300\n\n[NEXT]\nA=1\n", "BOARD",
                 "TYPE_SUB", "301", "[BOARD]\nTYPE=300\nTYPE_SUB=301\n\n[NEXT]\nA=1\n"},
        EditCase{"key_added_before_trailing_comment", "[BOARD]\nTYPE=300\n; about NEXT\n[NEXT]\n",
                 "BOARD", "TYPE_SUB", "301",
                 "[BOARD]\nTYPE=300\nTYPE_SUB=301\n; about NEXT\n[NEXT]\n"},
        EditCase{"key_added_to_empty_section", "[BOARD]\r\n[NEXT]\r\n", "BOARD", "TYPE", "200",
                 "[BOARD]\r\nTYPE=200\r\n[NEXT]\r\n"},
        EditCase{"key_added_to_first_of_duplicate_sections", "[BOARD]\nA=1\n[BOARD]\nTYPE=2\n",
                 "BOARD", "TYPE", "3", "[BOARD]\nA=1\nTYPE=3\n[BOARD]\nTYPE=2\n"},
        EditCase{"key_added_after_unterminated_last_line", "[BOARD]\r\nA=1", "BOARD", "TYPE", "3",
                 "[BOARD]\r\nA=1\r\nTYPE=3\r\n"},
        EditCase{"key_added_after_last_line_ending_in_cr", "[BOARD]\r\nA=1 \r", "BOARD", "TYPE",
                 "3", "[BOARD]\r\nA=1 \r\nTYPE=3\r\n"},
        EditCase{"section_appended_after_last_line_ending_in_cr", "[NET]\nA=1\r", "BOARD", "TYPE",
                 "3", "[NET]\nA=1\r\n[BOARD]\nTYPE=3\n"},
        EditCase{"section_appended_lf", "[NET]\nA=1\n", "BOARD", "TYPE", "200",
                 "[NET]\nA=1\n[BOARD]\nTYPE=200\n"},
        EditCase{"section_appended_after_unterminated_line", "[NET]\r\nA=1", "BOARD", "TYPE", "200",
                 "[NET]\r\nA=1\r\n[BOARD]\r\nTYPE=200\r\n"},
        EditCase{"new_file_uses_crlf", "", "BOARD", "TYPE", "200", "[BOARD]\r\nTYPE=200\r\n"},
        EditCase{"keeps_utf8_mark", "\xEF\xBB\xBF[BOARD]\nTYPE=1\n", "BOARD", "TYPE", "2",
                 "\xEF\xBB\xBF[BOARD]\nTYPE=2\n"},
        EditCase{"mark_only_file", "\xEF\xBB\xBF", "BOARD", "TYPE", "2",
                 "\xEF\xBB\xBF[BOARD]\r\nTYPE=2\r\n"},
        EditCase{"value_with_blanks_is_quoted", "[S]\nK=1\n", "S", "K", " a ", "[S]\nK=\" a \"\n"},
        EditCase{"value_in_quotes_is_quoted", "[S]\nK=1\n", "S", "K", "'a'", "[S]\nK=\"'a'\"\n"},
        EditCase{"empty_value", "[S]\nK=1\n", "S", "K", "", "[S]\nK=\n"},
        EditCase{"after_bare_cr", "[NETWORK]\r\nUNIT_PORT=5000\r[BOARD]\r\nTYPE=200\r\n", "BOARD",
                 "TYPE", "301", "[NETWORK]\r\nUNIT_PORT=5000\r[BOARD]\r\nTYPE=301\r\n"},
        EditCase{"cr_before_crlf", "[BOARD]\r\r\nTYPE=301\r\r\n", "BOARD", "TYPE", "200",
                 "[BOARD]\r\r\nTYPE=200\r\r\n"},
        EditCase{"key_added_in_cr_only_file", "[BOARD]\rTYPE=300\r[NEXT]\rA=1\r", "BOARD",
                 "TYPE_SUB", "301", "[BOARD]\rTYPE=300\rTYPE_SUB=301\r[NEXT]\rA=1\r"},
        EditCase{"section_appended_to_cr_only_file", "[NET]\rA=1\r", "BOARD", "TYPE", "200",
                 "[NET]\rA=1\r[BOARD]\rTYPE=200\r"},
        EditCase{"section_appended_after_unterminated_cr_line", "[NET]\rA=1", "BOARD", "TYPE",
                 "200", "[NET]\rA=1\r[BOARD]\rTYPE=200\r"},
        EditCase{"key_added_after_bare_cr_line", "[BOARD]\r\nA=1\r[NEXT]\r\n", "BOARD", "TYPE", "3",
                 "[BOARD]\r\nA=1\rTYPE=3\r[NEXT]\r\n"},
        EditCase{"vertical_tab_after_key", "[BOARD]\r\nTYPE\v=200\r\n", "BOARD", "TYPE", "301",
                 "[BOARD]\r\nTYPE\v=301\r\n"},
        EditCase{"form_feed_before_value", "[BOARD]\r\nTYPE=\f300\r\n", "BOARD", "TYPE", "301",
                 "[BOARD]\r\nTYPE=\f301\r\n"},
        EditCase{"vertical_tab_before_section", "\v[BOARD]\r\nTYPE=200\r\n", "BOARD", "TYPE_SUB",
                 "301", "\v[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\n"},
        EditCase{"vertical_tab_after_value", "[VentrelV1]\r\nDISPLAY=2D\v\r\n", "VentrelV1",
                 "DISPLAY", "3D", "[VentrelV1]\r\nDISPLAY=3D\v\r\n"},
        EditCase{"value_with_vertical_tab_is_quoted", "[S]\nK=1\n", "S", "K", "a\v",
                 "[S]\nK=\"a\v\"\n"}),
    [](const testing::TestParamInfo<EditCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(IniEditTest, RefusesWhatCouldNotBeReadBack) {
  const std::string original = "[S]\nK=1\n";
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {{"S", "K", "a\nb"}, {"S", "K", "a\rb"}, {"S", "", "1"},    {"S", " K", "1"},
               {"S", "K=", "1"},   {"S", ";K", "1"},   {"S", "[K", "1"},  {"S]", "K", "1"},
               {"", "K", "1"},     {"S\n", "K", "1"},  {"S", "K\v", "1"}, {"\fS", "K", "1"},
               {"S", "K\x1A", "1"}};
  for (const auto& c : cases) {
    std::string content = original;
    EXPECT_EQ(EditIniText(content, {{c.key, c.value}}, c.section), EditResult::kFailed)
        << c.section << "/" << c.key << "/" << c.value;
    EXPECT_EQ(content, original);
  }
}

class IniFileTest : public testing::Test {
 protected:
  test::TempDir dir_;
  std::string file_ = dir_.Path("VENTREL_DLL.INI");
  CIni ini_;
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndFalse) {
  std::string text;
  EXPECT_FALSE(ini_.Donne(text, "DISPLAY", "ECHEC", "VentrelV1", file_));
  EXPECT_EQ(text, "ECHEC");
  int number = 0;
  EXPECT_FALSE(ini_.Donne(number, "TYPE", -1, "BOARD", file_));
  EXPECT_EQ(number, -1);
}

TEST_F(IniFileTest, ADefaultIsGivenBackWithoutItsTrailingSpaces) {
  test::WriteFile(file_, "[BOARD]\r\nTYPE=200\r\n");
  const struct {
    const char* default_value;
    const char* read;
  } cases[] = {
      {"default  ", "default"}, {"default", "default"}, {" x ", " x"}, {"a\t", "a\t"},
      {"a \t ", "a \t"},        {"   ", " "},           {"", ""},
  };
  for (const auto& c : cases) {
    std::string text;
    EXPECT_FALSE(ini_.Donne(text, "DISPLAY", c.default_value, "VentrelV1", file_));
    EXPECT_EQ(text, c.read) << "[" << c.default_value << "]";
#ifdef _WIN32
    char value[64] = {};
    ::GetPrivateProfileStringA("VentrelV1", "DISPLAY", c.default_value, value, sizeof value,
                               file_.c_str());
    EXPECT_EQ(std::string(value), c.read)
        << "the profile functions give [" << c.default_value << "] back otherwise";
#endif
  }
}

TEST_F(IniFileTest, EmptyIntegerValueGivesDefaultButCountsAsFound) {
  test::WriteFile(file_, "[BOARD]\nTYPE=\nTYPE_SUB=x\n");
  int number = 0;
  EXPECT_TRUE(ini_.Donne(number, "TYPE", 300, "BOARD", file_));
  EXPECT_EQ(number, 300);
  EXPECT_TRUE(ini_.Donne(number, "TYPE_SUB", 300, "BOARD", file_));
  EXPECT_EQ(number, 0);
}

TEST_F(IniFileTest, AffecteCreatesMissingFileWithCrlf) {
  ASSERT_TRUE(ini_.Affecte("300", "TYPE", "BOARD", file_));
  EXPECT_EQ(test::ReadFile(file_), "[BOARD]\r\nTYPE=300\r\n");
}

TEST_F(IniFileTest, AffecteKeepsEveryOtherByte) {
  const std::string before =
      "\xEF\xBB\xBF; driver\r\n[NET]\r\nIP = 1.2.3.4\n\n[Board]\r\n type=200 \r\nZ=1";
  test::WriteFile(file_, before);
  ASSERT_TRUE(ini_.Affecte("300", "TYPE", "BOARD", file_));
  std::string expected = before;
  expected.replace(expected.find("200"), 3, "300");
  EXPECT_EQ(test::ReadFile(file_), expected);
}

TEST_F(IniFileTest, FailuresLeaveTheFileAndFolderAsTheyWere) {
  const std::string before = "[BOARD]\nTYPE=200\n";
  test::WriteFile(file_, before);
  test::MakeReadOnly(file_);
  EXPECT_EQ(ini_.Affecte("300", "TYPE", "BOARD", file_).failure, WriteFailure::kNoPermission)
      << "read-only file";
  EXPECT_EQ(test::ReadFile(file_), before);

  EXPECT_EQ(ini_.Affecte("300", "TYPE", "BOARD", dir_.Path("no/such/folder.ini")).failure,
            WriteFailure::kOther);

  test::MakeFolders(dir_.Path("folder.ini"));
  EXPECT_EQ(ini_.Affecte("300", "TYPE", "BOARD", dir_.Path("folder.ini")).failure,
            WriteFailure::kOther);

  EXPECT_EQ(test::ListFolder(dir_.path()), "VENTREL_DLL.INI folder.ini")
      << "no temporary file may be left behind";
}

TEST_F(IniFileTest, SeveralKeysGoInOneReplacementOrNotAtAll) {
  test::WriteFile(file_, "[BOARD]\r\nTYPE=200\r\n");
  ASSERT_TRUE(ini_.Affecte({{"TYPE_SUB", "301"}, {"TYPE", "300"}}, "BOARD", file_));
  EXPECT_EQ(test::ReadFile(file_), "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n");

  EXPECT_FALSE(ini_.Affecte({{"TYPE", "200"}, {"BAD=KEY", "1"}}, "BOARD", file_));
  EXPECT_EQ(test::ReadFile(file_), "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n")
      << "the first key must not be stored without the second";
}

TEST_F(IniFileTest, UnchangedValueIsNotRewritten) {
  test::WriteFile(file_, "[BOARD]\nTYPE=300\n");
  test::MakeReadOnly(file_);
  EXPECT_TRUE(ini_.Affecte("300", "TYPE", "BOARD", file_))
      << "the file already holds the value, so there is nothing to write";
}

// The same lines in UTF-16 LE with a byte-order mark, as the Windows profile functions write them.
std::string Utf16Le(std::string_view ascii_or_utf8) {
  std::string bytes;
  EXPECT_TRUE(EncodeUtf16(ascii_or_utf8, FileEncoding::kUtf16Le, "", bytes));
  return "\xFF\xFE" + bytes;
}

// UTF-8 text as the program's own 8-bit text (the ANSI code page on Windows).
std::string Narrow(std::string_view utf8) {
  std::string narrow;
  EXPECT_TRUE(NarrowFromUtf8(utf8, narrow)) << utf8;
  return narrow;
}

TEST_F(IniFileTest, Utf16FileIsReadAndWrittenInUtf16) {
  const std::string driver =
      "[R\xC3\xA9seau]\r\nH\xC3\xB4te=unit\xE2\x82\xAC\r\n[BOARD]\r\nTYPE=200\r\n";
  test::WriteFile(file_, Utf16Le(driver));
  int type = 0;
  EXPECT_TRUE(ini_.Donne(type, "TYPE", -1, "BOARD", file_));
  EXPECT_EQ(type, 200);
  std::string host;
  EXPECT_TRUE(ini_.Donne(host, Narrow("h\xC3\xB4te"), "", Narrow("R\xC3\xA9SEAU"), file_));
  EXPECT_EQ(host, Narrow("unit\xE2\x82\xAC"));

  ASSERT_TRUE(ini_.Affecte({{"TYPE_SUB", "301"}, {"TYPE", "300"}}, "BOARD", file_));
  EXPECT_EQ(test::ReadFile(file_),
            Utf16Le("[R\xC3\xA9seau]\r\nH\xC3\xB4te=unit\xE2\x82\xAC\r\n[BOARD]\r\nTYPE=300\r\n"
                    "TYPE_SUB=301\r\n"));
  ASSERT_TRUE(ini_.Affecte(Narrow("\xE2\x82\xAC 5"), "PRICE", "Neu", file_));
  EXPECT_NE(test::ReadFile(file_).find(Utf16Le("PRICE=\xE2\x82\xAC 5\r\n").substr(2)),
            std::string::npos)
      << "the value is stored as the character it stands for";
  std::string price;
  EXPECT_TRUE(ini_.Donne(price, "PRICE", "", "NEU", file_));
  EXPECT_EQ(price, Narrow("\xE2\x82\xAC 5"));
}

TEST_F(IniFileTest, Utf16BigEndianFileIsKeptBigEndian) {
  std::string bytes;
  ASSERT_TRUE(EncodeUtf16("[BOARD]\nTYPE=200\n", FileEncoding::kUtf16Be, "", bytes));
  test::WriteFile(file_, "\xFE\xFF" + bytes);
  ASSERT_TRUE(ini_.Affecte("300", "TYPE", "BOARD", file_));
  ASSERT_TRUE(EncodeUtf16("[BOARD]\nTYPE=300\n", FileEncoding::kUtf16Be, "", bytes));
  EXPECT_EQ(test::ReadFile(file_), "\xFE\xFF" + bytes);
}

// On Windows every text of the ANSI code page has its UTF-16 form; on Linux the 8-bit text is
// UTF-8, and bytes that are not cannot go into a UTF-16 file.
#ifndef _WIN32
TEST_F(IniFileTest, ValueUtf16CannotHoldLeavesTheFileAlone) {
  const std::string original = Utf16Le("[BOARD]\r\nTYPE=200\r\n");
  test::WriteFile(file_, original);
  EXPECT_FALSE(ini_.Affecte("caf\xE9", "TYPE", "BOARD", file_)) << "Latin-1, no UTF-8";
  EXPECT_EQ(test::ReadFile(file_), original);
  EXPECT_EQ(test::ListFolder(dir_.path()), "VENTREL_DLL.INI");
}
#endif

TEST_F(IniFileTest, NulBytesAndLongLinesAreKept) {
  const std::string blob(1 << 20, 'x');
  test::WriteFile(file_, std::string("[DRIVER]\nBLOB=") + blob + std::string("\nRAW=a\0b\n", 9) +
                             "[BOARD]\nTYPE=200\n");
  const std::string before = test::ReadFile(file_);
  ASSERT_TRUE(ini_.Affecte("300", "TYPE", "BOARD", file_));
  const std::string after = test::ReadFile(file_);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after.substr(0, after.size() - 4), before.substr(0, before.size() - 4));
  EXPECT_EQ(after.substr(after.size() - 4), "300\n");
  std::string raw;
  EXPECT_TRUE(ini_.Donne(raw, "RAW", "", "DRIVER", file_));
  EXPECT_EQ(raw, std::string("a\0b", 3));
}

}  // namespace
}  // namespace ventrel
