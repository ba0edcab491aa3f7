#include "utility/file_store.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace ventrel {
namespace {

TEST(FileStoreTest, ReadTellsMissingFromUnreadable) {
  test::TempDir dir;
  std::string content = "stale";
  EXPECT_EQ(ReadWholeFile(dir.Path("absent"), content), ReadResult::kMissing);
  EXPECT_EQ(content, "");
  EXPECT_EQ(ReadWholeFile(dir.Path("absent/below"), content), ReadResult::kMissing);
  EXPECT_EQ(ReadWholeFile("", content), ReadResult::kMissing);
  EXPECT_EQ(ReadWholeFile(dir.path(), content), ReadResult::kFailed) << "a folder";

  const std::string bytes("a\0b\r\n", 5);
  test::WriteFile(dir.Path("f"), bytes);
  EXPECT_EQ(ReadWholeFile(dir.Path("f"), content), ReadResult::kOk);
  EXPECT_EQ(content, bytes);
}

TEST(FileStoreTest, ExistingFileMeansARegularFile) {
  test::TempDir dir;
  test::WriteFile(dir.Path("f"), "");
  ASSERT_EQ(::symlink(dir.Path("f").c_str(), dir.Path("link").c_str()), 0);
  EXPECT_TRUE(IsExistingFile(dir.Path("f")));
  EXPECT_TRUE(IsExistingFile(dir.Path("link")));
  EXPECT_FALSE(IsExistingFile(dir.path()));
  EXPECT_FALSE(IsExistingFile(dir.Path("absent")));
  EXPECT_FALSE(IsExistingFile(""));
}

TEST(FileStoreTest, ReplaceWritesNewFileWithUsualPermissions) {
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

TEST(FileStoreTest, ReplaceNeverWidensPermissions) {
  test::TempDir dir;
  test::WriteFile(dir.Path("board.ini"), "old");
  ASSERT_EQ(::chmod(dir.Path("board.ini").c_str(), 0600), 0);
  ASSERT_TRUE(ReplaceWholeFile(dir.Path("board.ini"), "new"));
  struct stat info {};
  ASSERT_EQ(::stat(dir.Path("board.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(test::ReadFile(dir.Path("board.ini")), "new");
}

TEST(FileStoreTest, ReplaceIntoMissingFolderFails) {
  test::TempDir dir;
  EXPECT_FALSE(ReplaceWholeFile(dir.Path("absent/board.ini"), "x"));
  EXPECT_FALSE(test::Exists(dir.Path("absent")));
}

}  // namespace
}  // namespace ventrel
