#include "utility/path.h"

#include <gtest/gtest.h>

namespace ventrel {
namespace {

// The rules with this platform's separator; the cases are written with '/' and converted.
std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') {
      c = kPathSeparator;
    }
  }
  return path;
}

TEST(PathTest, AppendJoinsWithExactlyOneSeparator) {
  const struct {
    const char* base;
    const char* more;
    const char* expected;
  } cases[] = {
      {"/opt", "Dremont", "/opt/Dremont"},
      {"/opt/", "Dremont", "/opt/Dremont"},
      {"/opt//", "/Dremont", "/opt/Dremont"},
      {"", "Dremont/x", "Dremont/x"},
      {"", "/opt/x", "/opt/x"},
      {"/opt", "", "/opt"},
      {"a", "b/c", "a/b/c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathAppend(Native(c.base), Native(c.more)), Native(c.expected))
        << c.base << " + " << c.more;
  }
}

TEST(PathTest, FolderPartDropsTheLastComponent) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {{"/opt/Dremont/VentrelConf", "/opt/Dremont"},
               {"/opt/x/", "/opt/x"},
               {"name", ""},
               {"", ""},
               {"a/b", "a"}};
  for (const auto& c : cases) {
    EXPECT_EQ(PathFolderPart(Native(c.path)), Native(c.expected)) << c.path;
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

TEST(PathTest, PosixRoot) {
  EXPECT_EQ(PathFolderPart("/VENTREL_DLL.INI"), "/");
  EXPECT_EQ(PathFolderPart("/"), "/");
  EXPECT_EQ(PathAppend("/", "opt"), "/opt");
  EXPECT_EQ(PathRootLength("/opt"), 1u);
  EXPECT_EQ(PathRootLength("opt"), 0u);
}

}  // namespace
}  // namespace ventrel
