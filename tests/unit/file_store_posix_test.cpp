// What only POSIX systems have: permission bits and symbolic links.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"
#include "utility/file_store.h"

namespace ventrel {
namespace {

TEST(FileStorePosixTest, ExistingFileFollowsALink) {
  test::TempDir dir;
  test::WriteFile(dir.Path("f"), "");
  ASSERT_EQ(::symlink(dir.Path("f").c_str(), dir.Path("link").c_str()), 0);
  EXPECT_TRUE(IsExistingFile(dir.Path("link")));
}

TEST(FileStorePosixTest, ReplaceWritesNewFileWithUsualPermissions) {
  test::TempDir dir;
  const mode_t old_mask = ::umask(022);
  const bool ok = ReplaceWholeFile(dir.Path("new.ini"), "x");
  ::umask(old_mask);
  ASSERT_TRUE(ok);
  EXPECT_EQ(test::ReadFile(dir.Path("new.ini")), "x");
  struct stat info {};
  ASSERT_EQ(::stat(dir.Path("new.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);
  EXPECT_EQ(test::ListFolder(dir.path()), "new.ini");
}

TEST(FileStorePosixTest, ReplaceNeverWidensPermissions) {
  test::TempDir dir;
  test::WriteFile(dir.Path("board.ini"), "old");
  ASSERT_EQ(::chmod(dir.Path("board.ini").c_str(), 0600), 0);
  ASSERT_TRUE(ReplaceWholeFile(dir.Path("board.ini"), "new"));
  struct stat info {};
  ASSERT_EQ(::stat(dir.Path("board.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(test::ReadFile(dir.Path("board.ini")), "new");
}

}  // namespace
}  // namespace ventrel
