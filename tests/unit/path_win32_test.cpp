// The Windows path rules: backslash preferred, slash accepted, drive, UNC and current-drive roots.
#include <gtest/gtest.h>

#include "utility/platform/path.h"

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
    CodePage code_page = kPathCodePage;
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
      // Server and share names ending in 'ソ' (0x83 0x5C in code page 932).
      {"\\\\\x83\x5C\\share\\x", 10, 932},
      {"\\\\server\\\x83\x5C\\x", 11, 932},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathRootLength(c.path, c.code_page), c.expected) << c.path;
  }
}

TEST(PathWin32Test, FolderPartKeepsTheRoot) {
  const struct {
    const char* path;
    const char* expected;
    CodePage code_page = kPathCodePage;
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
      // The second byte of 'ソ' (932) and of '許' (950) is 0x5C; in code page 1252 it is a
      // backslash after 'ƒ'.
      {"C:\\t\\\x83\x5C", "C:\\t", 932},
      {"C:\\t\\\xB3\x5C\\x.ini", "C:\\t\\\xB3\x5C", 950},
      {"C:\\t\\\x83\x5C", "C:\\t\\\x83", 1252},
      // Paths are UTF-8: 'Ł' is 0xC5 0x81, and 0x81 0x5C would be one character in code page 932.
      {"C:\\users\\\xC5\x81\\x.ini", "C:\\users\\\xC5\x81"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathFolderPart(c.path, c.code_page), c.expected) << c.path;
  }
}

TEST(PathWin32Test, AppendUsesOneBackslash) {
  const struct {
    const char* base;
    const char* more;
    const char* expected;
    CodePage code_page = kPathCodePage;
  } cases[] = {
      {"C:\\", "Dremont", "C:\\Dremont"},
      {"C:", "Dremont", "C:\\Dremont"},
      {"C:\\Program Files", "Dremont", "C:\\Program Files\\Dremont"},
      {"C:\\a/", "/b", "C:\\a\\b"},
      {"C:\\a\\\\", "\\\\b", "C:\\a\\b"},
      {"\\\\server\\share", "x.ini", "\\\\server\\share\\x.ini"},
      {"\\\\server\\share\\", "\\x.ini", "\\\\server\\share\\x.ini"},
      {"\\", "x", "\\x"},
      {"\\\\server\\\x83\x5C", "x.ini", "\\\\server\\\x83\x5C\\x.ini", 932},
      {"C:\\t\\\x83\x5C", "x", "C:\\t\\\x83\\x", 1252},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathAppend(c.base, c.more, c.code_page), c.expected) << c.base << " + " << c.more;
  }
}

// As the file system compares names: every letter's case, not ASCII's alone; nothing more.
TEST(PathWin32Test, PathsEqualIgnoringCaseOfEveryLetter) {
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"C:\\Program Files\\X.exe", "c:\\PROGRAM FILES\\x.EXE", true},
      {"C:\\users\\\xC5\x81ukasz", "C:\\USERS\\\xC5\x82UKASZ", true},  // Ł, ł
      {"C:\\\xD0\x94\xD0\xBC", "c:\\\xD0\xB4\xD0\x9C", true},          // Дм, дМ
      {"C:\\Caf\xC3\xA9", "C:\\Cafe", false},                          // é is no e
      {"C:\\a", "C:\\a\\", false},
      {"C:\\\xC5", "C:\\\xC5", false},  // no UTF-8: no path
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathsEqualIgnoringCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
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
  EXPECT_EQ(PathLastComponent("C:\\t\\\x83\x5Cx.exe", 932), "\x83\x5Cx.exe");
  EXPECT_EQ(PathReplaceExtension("C:\\t\\x.\x83\x5C", ".ini", 932), "C:\\t\\x.ini");
}

}  // namespace
}  // namespace ventrel
