#include "utility/text.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/command_line.h"
#include "support/temp_dir.h"
#include "utility/ini/ini.h"

namespace ventrel {
namespace {

TEST(TextTest, EqualsIgnoreAsciiCaseFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoreAsciiCase("/Opt/DREMONT/x", "/opt/dremont/X"));
  EXPECT_TRUE(EqualsIgnoreAsciiCase("", ""));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("abc", "abcd"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("[", "{")) << "'[' and '{' differ by the case bit only";
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\xC9", "\xE9")) << "non-ASCII bytes compare exactly";
}

TEST(TextTest, TrimBlanksRemovesSpacesAndTabsOnly) {
  EXPECT_EQ(TrimBlanks(" \t a b \t"), "a b");
  EXPECT_EQ(TrimBlanks("\ra\n"), "\ra\n");
  EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(TextTest, TrimIniBlanksRemovesWhatTheProfileFunctionsTrim) {
  EXPECT_EQ(TrimIniBlanks(" \t\n\v\f\r\x1A.a\vb.\x1A\r\f\v\n\t "), ".a\vb.");
  EXPECT_EQ(TrimIniBlanks("\x1B.\xA0"), "\x1B.\xA0") << "no other control byte, no NBSP";
  EXPECT_EQ(TrimIniBlanks("\v"), "");
}

TEST(TextTest, FormatMessageTakesTheArgumentLiterally) {
  EXPECT_EQ(FillInMessage("File %s not found !", "/a/%s%d.ini"), "File /a/%s%d.ini not found !");
  EXPECT_EQ(FillInMessage("no directive", "x"), "no directive");
  EXPECT_EQ(FillInMessage("%s", ""), "");
}

// One reader of numbers serves two rules: the INI integer, which wraps as the driver's
// GetPrivateProfileInt does, and the model code typed on the command line, which must never wrap
// to a model.
struct DecimalCase {
  const char* text;
  int profile_int;       // ParseProfileInt with -7 for a default
  ModelCode model_code;  // ConvertModelArgument
};

class DecimalTest : public testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalTest, ReadsAsTheProfileFunctionsAndScanfDo) {
  const DecimalCase& c = GetParam();
  EXPECT_EQ(ParseProfileInt(c.text, -7), c.profile_int) << c.text;
  EXPECT_EQ(ConvertModelArgument(std::string(c.text)), c.model_code) << c.text;
#ifdef _WIN32
  // A value with a line end in it cannot be one in a file. Wine's GetPrivateProfileInt reads with
  // the base left open, so "0x12c" is 300 there; these rules read decimal digits only, a difference
  // known and not taken here.
  const std::string_view text = c.text;
  if (text.find_first_of("\r\n") == std::string_view::npos && text != "0x12c") {
    test::TempDir dir;
    const std::string file = dir.Path("VENTREL_DLL.INI");
    test::WriteFile(file, std::string("[BOARD]\r\nTYPE=") + c.text + "\r\n");
    EXPECT_EQ(static_cast<int>(::GetPrivateProfileIntA("BOARD", "TYPE", -7, file.c_str())),
              c.profile_int)
        << "the profile functions read " << c.text << " otherwise";
  }
#endif
}

constexpr int kInt32Min = -2147483647 - 1;

INSTANTIATE_TEST_SUITE_P(
    Rules, DecimalTest,
    testing::Values(
        DecimalCase{"", -7, kNoModel}, DecimalCase{"300", 300, 300}, DecimalCase{"301", 301, 301},
        DecimalCase{"+301", 301, 301}, DecimalCase{"-200", -200, -200},
        DecimalCase{"250", 250, 250}, DecimalCase{"300abc", 300, 300},
        DecimalCase{"abc", 0, kNoModel}, DecimalCase{"-", 0, kNoModel},
        DecimalCase{"+", 0, kNoModel}, DecimalCase{"- 5", 0, kNoModel}, DecimalCase{"0x12c", 0, 0},
        DecimalCase{" -5", -5, -5}, DecimalCase{" -1", -1, -1}, DecimalCase{"\t\n+200", 0, 200},
        DecimalCase{"2147483647", 2147483647, 2147483647},
        // Fits in 32 bits, so it is read as itself, not refused: that it is also the
        // value kImproperCode stands for says nothing of the reading.
        DecimalCase{"-2147483648", kInt32Min, kInt32Min},
        DecimalCase{"2147483648", kInt32Min, kImproperCode},
        DecimalCase{"4294967296", 0, kImproperCode}, DecimalCase{"4294967297", 1, kImproperCode},
        DecimalCase{"-4294967297", -1, kImproperCode}, DecimalCase{"-4294967296", 0, kImproperCode},
        DecimalCase{"4294967496", 200, kImproperCode},
        DecimalCase{"4294967596", 300, kImproperCode},
        DecimalCase{"-99999999999", -1215752191, kImproperCode},
        DecimalCase{"99999999999999999999999999", -469762049, kImproperCode}));

}  // namespace
}  // namespace ventrel
