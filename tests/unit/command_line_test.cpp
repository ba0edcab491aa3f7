#include "app/command_line.h"

#include <gtest/gtest.h>

namespace ventrel {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLineTest, FollowsTheWindowsRules) {
  const struct {
    const char* line;
    Args expected;
  } cases[] = {
      {"VentrelConf.exe", {"VentrelConf.exe"}},
      {"VentrelConf.exe 301", {"VentrelConf.exe", "301"}},
      {"VentrelConf.exe  \t 200\t300  ", {"VentrelConf.exe", "200", "300"}},
      {"\"C:\\Program Files\\Dremont\\VentrelConf.exe\" 301",
       {"C:\\Program Files\\Dremont\\VentrelConf.exe", "301"}},
      {"C:\\a\\b.exe\\ x", {"C:\\a\\b.exe\\", "x"}},
      {"p \" -5\"", {"p", " -5"}},
      {"p \"\" 300", {"p", "", "300"}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      {"p \\\\\\\"x", {"p", "\\\"x"}},
      {"p \\\\\"a b\"", {"p", "\\a b"}},
      {"p a\\\\b", {"p", "a\\\\b"}},
      {"p a\\", {"p", "a\\"}},
      {"p \"a\"\"b\" c", {"p", "a\"b", "c"}},
      {"p \"a b", {"p", "a b"}},
      {"p /Register 301", {"p", "/Register", "301"}},
      {"", {""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
  }
}

TEST(FindModelArgumentTest, SkipsOptionsAndEmptyArguments) {
  const struct {
    Args arguments;
    std::optional<std::string> expected;
  } cases[] = {
      {{}, std::nullopt},       {{"301"}, "301"},
      {{"200", "300"}, "200"},  {{"/Register", "301"}, "301"},
      {{"-200"}, std::nullopt}, {{"-200", "300"}, "300"},
      {{"", "300"}, "300"},     {{" -5"}, " -5"},
      {{"abc", "200"}, "abc"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindModelArgument(c.arguments), c.expected);
  }
}

// The numbers themselves are read by the one reader they share with the INI files: every row is in
// the table of text_test.cpp.
TEST(ConvertModelArgumentTest, NoArgumentIsNoModel) {
  EXPECT_EQ(ConvertModelArgument(std::nullopt), kNoModel);
}

}  // namespace
}  // namespace ventrel
