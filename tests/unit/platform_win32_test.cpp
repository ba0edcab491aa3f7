// The real platform on Windows, checked against what Windows itself tells every program.
#include "utility/platform/platform_win32.h"
#include "utility/platform/code_page_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "utility/platform/path.h"

namespace ventrel {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TEST(PlatformWin32Test, ExePathIsThisProgram) {
  const std::string exe = RealPlatform().ExePath();
  EXPECT_EQ(PathLastComponent(exe), "ventrel_unit_tests.exe");
  EXPECT_EQ(PathRootLength(exe), 3u) << exe;
  EXPECT_EQ(exe.find('/'), std::string::npos) << exe;
  EXPECT_NE(::GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(PlatformWin32Test, FoldersAreTheShellsOwn) {
  ASSERT_FALSE(Environment("ProgramFiles").empty());
  ASSERT_FALSE(Environment("APPDATA").empty());
  // The 64-bit folder (a 32-bit process finds it in ProgramW6432), then the 32-bit one; a 32-bit
  // system names one folder.
  std::vector<std::string> programs = {Environment("ProgramW6432").empty()
                                           ? Environment("ProgramFiles")
                                           : Environment("ProgramW6432")};
  const std::string x86 = Environment("ProgramFiles(x86)");
  if (!x86.empty() && x86 != programs.front()) {
    programs.push_back(x86);
  }
  EXPECT_EQ(RealPlatform().ProgramsFolders(), programs);
  EXPECT_EQ(RealPlatform().AppDataFolder(), Environment("APPDATA"));
  EXPECT_EQ(RealPlatform().LocalBaseFolder(), PathFolderPart(RealPlatform().ExePath()));
}

TEST(PlatformWin32Test, MessageBoxTypeIsOkWithTheIconAlone) {
  EXPECT_EQ(MessageBoxType(MessageIcon::kError), static_cast<unsigned>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(MessageBoxType(MessageIcon::kWarning),
            static_cast<unsigned>(MB_OK | MB_ICONEXCLAMATION));
}

std::optional<std::string> WideToAnsi(std::wstring_view wide) {
  std::string ansi;
  return CodePageFromWide(CP_ACP, wide, ansi) ? std::optional(ansi) : std::nullopt;
}

TEST(PlatformWin32Test, WideToAnsiRefusesStandIns) {
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

}  // namespace
}  // namespace ventrel
