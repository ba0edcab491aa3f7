#include "utility/platform/path.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace ventrel {
namespace {

using test::Native;  // the cases are written with '/' and converted

TEST(PathTest, AppendJoinsWithExactlyOneSeparator) {
  const struct {
    const char* base;
    const char* more;
    const char* expected;
    CodePage code_page = kPathCodePage;
  } cases[] = {
      {"/opt", "Dremont", "/opt/Dremont"},
      {"/opt/", "Dremont", "/opt/Dremont"},
      {"/opt//", "/Dremont", "/opt/Dremont"},
      {"", "Dremont/x", "Dremont/x"},
      {"", "/opt/x", "/opt/x"},
      {"/opt", "", "/opt"},
      {"a", "b/c", "a/b/c"},
      // A folder ending in 'ソ' (0x83 0x5C in code page 932), which has no separator at its end.
      {"/t/\x83\x5C", "VentrelConf", "/t/\x83\x5C/VentrelConf", 932},
      {"/t/\x83\x5C/", "x", "/t/\x83\x5C/x", 932},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathAppend(Native(c.base), Native(c.more), c.code_page), Native(c.expected))
        << c.base << " + " << c.more;
  }
}

TEST(PathTest, FolderPartDropsTheLastComponent) {
  const struct {
    const char* path;
    const char* expected;
    CodePage code_page = kPathCodePage;
  } cases[] = {{"/opt/Dremont/VentrelConf", "/opt/Dremont"},
               {"/opt/x/", "/opt/x"},
               {"name", ""},
               {"", ""},
               {"a/b", "a"},
               {"/t/\x83\x5C/VentrelConf", "/t/\x83\x5C", 932},
               {"/t/\x8B\x40\x94\x5C", "/t", 932}};  // "機能"
  for (const auto& c : cases) {
    EXPECT_EQ(PathFolderPart(Native(c.path), c.code_page), Native(c.expected)) << c.path;
  }
}

TEST(PathTest, LastComponentKeepsTheFileName) {
  EXPECT_EQ(PathLastComponent(Native("/opt/Zorvik - LAN PANORAMIC/VentrelConf")), "VentrelConf");
  EXPECT_EQ(PathLastComponent("VentrelConf.exe"), "VentrelConf.exe");
  EXPECT_EQ(PathLastComponent(Native("/opt/")), "");
  EXPECT_EQ(PathLastComponent(""), "");
}

TEST(PathTest, ReplaceExtensionWorksOnTheLastComponentOnly) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {{"VentrelConf.exe", "VentrelConf.ini"},
               {"VentrelConf", "VentrelConf.ini"},
               {"/a.b/VentrelConf", "/a.b/VentrelConf.ini"},
               {"/a/Other.tar.gz", "/a/Other.tar.ini"},
               {"/a/x.", "/a/x.ini"}};
  for (const auto& c : cases) {
    EXPECT_EQ(PathReplaceExtension(Native(c.path), ".ini"), Native(c.expected)) << c.path;
  }
}

}  // namespace
}  // namespace ventrel
