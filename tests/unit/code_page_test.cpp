#include "utility/platform/code_page.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <optional>

#include "utility/platform/code_page_win32.h"
#endif

namespace ventrel {
namespace {

#ifdef _WIN32
std::optional<std::string> WideToAnsi(std::wstring_view wide) {
  std::string ansi;
  return CodePageFromWide(CP_ACP, wide, ansi) ? std::optional(ansi) : std::nullopt;
}

TEST(CodePageTest, WideToAnsiRefusesStandIns) {
  EXPECT_EQ(WideToAnsi(L"C:\\Program Files"), "C:\\Program Files");
  EXPECT_EQ(WideToAnsi(L""), "");
  if (::GetACP() != 1252) {
    GTEST_SKIP() << "the cases below are for code page 1252, this system has " << ::GetACP();
  }
  EXPECT_EQ(WideToAnsi(L"C:\\Donn\u00e9es"),
            "C:\\Donn\xe9"
            "es");
  EXPECT_EQ(WideToAnsi(L"C:\\\u4e2d\u6587"), std::nullopt) << "no such characters in 1252";
  EXPECT_EQ(WideToAnsi(L"C:\\\u0100"), std::nullopt) << "no best fit: A-macron is not A";
}

TEST(CodePageTest, NarrowTextIsTheAnsiCodePage) {
  if (::GetACP() != 1252) {
    GTEST_SKIP() << "the cases are those of code page 1252, not " << ::GetACP();
  }
  const struct {
    const char* narrow;
    const char* utf8;
  } pairs[] = {
      {"TYPE=300", "TYPE=300"},
      {"D\xE9j\xE0", "D\xC3\xA9j\xC3\xA0"},
      {"\x80 5", "\xE2\x82\xAC 5"},
  };
  for (const auto& pair : pairs) {
    std::string out;
    ASSERT_TRUE(Utf8FromNarrow(pair.narrow, out)) << pair.narrow;
    EXPECT_EQ(out, pair.utf8);
    ASSERT_TRUE(NarrowFromUtf8(pair.utf8, out)) << pair.utf8;
    EXPECT_EQ(out, pair.narrow);
  }
  std::string out;
  // Neither a character the code page lacks, nor its nearest look-alike ("A" for an A with a
  // ring below), nor bytes that are no UTF-8.
  EXPECT_FALSE(NarrowFromUtf8("\xE6\x9C\xAC", out));
  EXPECT_FALSE(NarrowFromUtf8("\xE1\xB8\x80", out));
  EXPECT_FALSE(NarrowFromUtf8("caf\xE9", out));
}
#else
TEST(CodePageTest, NarrowTextIsUtf8Here) {
  std::string out;
  ASSERT_TRUE(Utf8FromNarrow("D\xC3\xA9j\xC3\xA0", out));
  EXPECT_EQ(out, "D\xC3\xA9j\xC3\xA0");
  ASSERT_TRUE(NarrowFromUtf8("\xE6\x9C\xAC", out));
  EXPECT_EQ(out, "\xE6\x9C\xAC");
}
#endif

}  // namespace
}  // namespace ventrel
