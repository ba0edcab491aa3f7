// The Windows path rules: backslash preferred, slash accepted, drive, UNC and current-drive roots.
#include <gtest/gtest.h>

#include "utility/path.h"

namespace ventrel {
namespace {

TEST(PathWin32Test, BothSlashesSeparate) {
  EXPECT_EQ(kPathSeparator, '\\');
  EXPECT_TRUE(IsPathSeparator('\\'));
  EXPECT_TRUE(IsPathSeparator('/'));
  EXPECT_FALSE(IsPathSeparator(':'));
}

TEST(PathWin32Test, RootLength) {
  const struct {
    const char* path;
    std::size_t expected;
  } cases[] = {
      {"C:\\Program Files", 3},
      {"c:/x", 3},
      {"C:\\", 3},
      {"C:", 2},
      {"C:x", 2},
      {"\\VENTREL_DLL.INI", 1},
      {"/x", 1},
      {"\\\\server\\share\\x.ini", 14},
      {"\\\\server\\share", 14},
      {"//server/share/x", 14},
      {"\\\\server", 8},
      {"\\\\?\\C:\\x", 7},
      {"\\\\?\\UNC\\server\\share\\x", 20},
      {"x\\y", 0},
      {"1:\\x", 0},
      {"", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathRootLength(c.path), c.expected) << c.path;
  }
}

TEST(PathWin32Test, FolderPartKeepsTheRoot) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"C:\\Program Files\\Dremont\\VentrelConf.exe", "C:\\Program Files\\Dremont"},
      {"C:\\VentrelConf.exe", "C:\\"},
      {"C:\\", "C:\\"},
      {"C:VentrelConf.exe", "C:"},
      {"\\VENTREL_DLL.INI", "\\"},
      {"\\\\server\\share\\VENTREL_DLL.INI", "\\\\server\\share"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"C:/a/b", "C:/a"},
      {"a\\b/c", "a\\b"},
      {"\\\\?\\C:\\x\\y.exe", "\\\\?\\C:\\x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathFolderPart(c.path), c.expected) << c.path;
  }
}

TEST(PathWin32Test, AppendUsesOneBackslash) {
  const struct {
    const char* base;
    const char* more;
    const char* expected;
  } cases[] = {
      {"C:\\", "Dremont", "C:\\Dremont"},
      {"C:", "Dremont", "C:\\Dremont"},
      {"C:\\Program Files", "Dremont", "C:\\Program Files\\Dremont"},
      {"C:\\a/", "/b", "C:\\a\\b"},
      {"C:\\a\\\\", "\\\\b", "C:\\a\\b"},
      {"\\\\server\\share", "x.ini", "\\\\server\\share\\x.ini"},
      {"\\\\server\\share\\", "\\x.ini", "\\\\server\\share\\x.ini"},
      {"\\", "x", "\\x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathAppend(c.base, c.more), c.expected) << c.base << " + " << c.more;
  }
}

TEST(PathWin32Test, LastComponentAndExtension) {
  EXPECT_EQ(PathLastComponent("C:\\Dremont\\VentrelConf.exe"), "VentrelConf.exe");
  EXPECT_EQ(PathLastComponent("C:/Dremont/VentrelConf.exe"), "VentrelConf.exe");
  EXPECT_EQ(PathLastComponent("C:VentrelConf.exe"), "VentrelConf.exe");
  EXPECT_EQ(PathLastComponent("\\\\server\\share"), "");
  EXPECT_EQ(PathLastComponent("C:\\"), "");
  EXPECT_EQ(PathReplaceExtension("C:\\a.b\\VentrelConf.exe", ".HLP"), "C:\\a.b\\VentrelConf.HLP");
  EXPECT_EQ(PathReplaceExtension("C:\\a.b\\VentrelConf", ".ini"), "C:\\a.b\\VentrelConf.ini");
  EXPECT_EQ(PathReplaceExtension("C:\\a.b/Other", ".ini"), "C:\\a.b/Other.ini");
}

}  // namespace
}  // namespace ventrel
