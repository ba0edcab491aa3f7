#include "utility/text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ventrel
