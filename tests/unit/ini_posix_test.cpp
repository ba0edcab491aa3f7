// What only POSIX systems have: permission bits and symbolic links.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"
#include "utility/ini/ini.h"

namespace ventrel {
namespace {

class IniPosixTest : public testing::Test {
 protected:
  test::TempDir dir_;
  std::string file_ = dir_.Path("VENTREL_DLL.INI");
  CIni ini_;
};

TEST_F(IniPosixTest, AffecteKeepsPermissions) {
  test::WriteFile(file_, "[BOARD]\nTYPE=200\n");
  ASSERT_EQ(::chmod(file_.c_str(), 0640), 0);
  ASSERT_TRUE(ini_.Affecte("300", "TYPE", "BOARD", file_));
  struct stat info {};
  ASSERT_EQ(::stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(IniPosixTest, AffecteFollowsSymbolicLink) {
  const std::string target = dir_.Path("real/board.ini");
  test::WriteFile(target, "[BOARD]\nTYPE=200\n");
  ASSERT_EQ(::symlink(target.c_str(), file_.c_str()), 0);
  ASSERT_TRUE(ini_.Affecte("301", "TYPE", "BOARD", file_));
  struct stat info {};
  ASSERT_EQ(::lstat(file_.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link itself must stay a link";
  EXPECT_EQ(test::ReadFile(target), "[BOARD]\nTYPE=301\n");
}

TEST_F(IniPosixTest, DanglingLinkIsLeftAlone) {
  const std::string dangling = dir_.Path("dangling.ini");
  ASSERT_EQ(::symlink(dir_.Path("gone/x.ini").c_str(), dangling.c_str()), 0);
  EXPECT_FALSE(ini_.Affecte("300", "TYPE", "BOARD", dangling));
  EXPECT_EQ(test::ListFolder(dir_.path()), "dangling.ini")
      << "no temporary file may be left behind";
}

}  // namespace
}  // namespace ventrel
