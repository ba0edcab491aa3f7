// The real platform on Windows, checked against what Windows itself tells every program.
#include "utility/platform/message_sink_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "utility/platform/folders.h"
#include "utility/platform/path.h"

namespace ventrel {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TEST(PlatformWin32Test, ExePathIsThisProgram) {
  const std::string exe = RealFolders().ExePath();
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
  EXPECT_EQ(RealFolders().ProgramsFolders(), programs);
  EXPECT_EQ(RealFolders().AppDataFolder(), Environment("APPDATA"));
  EXPECT_EQ(RealFolders().LocalBaseFolder(), PathFolderPart(RealFolders().ExePath()));
}

TEST(PlatformWin32Test, MessageBoxTypeIsOkWithTheIconAlone) {
  EXPECT_EQ(MessageBoxType(MessageIcon::kError), static_cast<unsigned>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(MessageBoxType(MessageIcon::kWarning),
            static_cast<unsigned>(MB_OK | MB_ICONEXCLAMATION));
}

}  // namespace
}  // namespace ventrel
