#include "utility/file_store.h"

#include <gtest/gtest.h>

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
  EXPECT_TRUE(IsExistingFile(dir.Path("f")));
  EXPECT_FALSE(IsExistingFile(dir.path()));
  EXPECT_FALSE(IsExistingFile(dir.Path("absent")));
  EXPECT_FALSE(IsExistingFile(""));
}

TEST(FileStoreTest, ReplaceRefusesAReadOnlyFile) {
  test::TempDir dir;
  test::WriteFile(dir.Path("board.ini"), "old");
  test::MakeReadOnly(dir.Path("board.ini"));
  EXPECT_FALSE(ReplaceWholeFile(dir.Path("board.ini"), "new"));
  EXPECT_EQ(test::ReadFile(dir.Path("board.ini")), "old");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini") << "no temporary file may be left behind";
}

TEST(FileStoreTest, ReplaceKeepsEveryByte) {
  test::TempDir dir;
  test::WriteFile(dir.Path("board.ini"), "old");
  const std::string bytes("\xEF\xBB\xBF[A]\r\nK=\0\xFF\n", 13);
  ASSERT_TRUE(ReplaceWholeFile(dir.Path("board.ini"), bytes));
  EXPECT_EQ(test::ReadFile(dir.Path("board.ini")), bytes);
  ASSERT_TRUE(ReplaceWholeFile(dir.Path("board.ini"), ""));
  EXPECT_EQ(test::ReadFile(dir.Path("board.ini")), "");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}

TEST(FileStoreTest, ReplaceIntoMissingFolderFails) {
  test::TempDir dir;
  EXPECT_FALSE(ReplaceWholeFile(dir.Path("absent/board.ini"), "x"));
  EXPECT_FALSE(test::Exists(dir.Path("absent")));
}

}  // namespace
}  // namespace ventrel
