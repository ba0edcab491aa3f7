#include "utility/store/file_store.h"
#include "support/store_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

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

// Another writer in the middle of its update: it holds the lock until released.
class HeldLock {
 public:
  explicit HeldLock(const std::string& file) {
    writer_ = std::thread([this, file] {
      UpdateWholeFile(file, [this](std::string&) {
        locked_ = true;
        while (!release_) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return EditResult::kUnchanged;
      });
      locked_ = true;  // even when it could not lock, nobody waits for ever
    });
    while (!locked_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  ~HeldLock() { Release(); }
  void Release() {
    release_ = true;
    if (writer_.joinable()) {
      writer_.join();
    }
  }

 private:
  std::atomic<bool> locked_{false};
  std::atomic<bool> release_{false};
  std::thread writer_;
};

EditResult Append(std::string& content, const std::string& line) {
  content += line;
  return EditResult::kChanged;
}

// A careful writer that does not take our lock: a new file put in the old one's place.
void DriverReplaces(const test::TempDir& dir, const std::string& board,
                    const std::string& content) {
  test::WriteFile(dir.Path("driver.tmp"), content);
  std::error_code error;
  std::filesystem::rename(dir.Path("driver.tmp"), board, error);
  EXPECT_FALSE(error) << error.message();
}

TEST(FileStoreTest, UpdateGivesUpWhileAnotherWriterHoldsTheLock) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  HeldLock other(board);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(UpdateWholeFile(
      board, [](std::string& c) { return Append(c, "new\n"); }, std::chrono::milliseconds(150)));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150));
  other.Release();
  EXPECT_EQ(test::ReadFile(board), "old\n");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}

TEST(FileStoreTest, UpdateWaitsForTheLockHolder) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  HeldLock other(board);
  std::thread release([&other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    other.Release();
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(UpdateWholeFile(board, [](std::string& c) { return Append(c, "new\n"); }));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150));
  release.join();
  EXPECT_EQ(test::ReadFile(board), "old\nnew\n");
}

// Without the lock, writers that read the same content would each drop the others' lines.
TEST(FileStoreTest, ConcurrentWritersLoseNothing) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "");
  constexpr int kWriters = 4;
  constexpr int kWrites = 40;
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i < kWrites; ++i) {
        const std::string line = std::to_string(w) + "." + std::to_string(i) + "\n";
        if (!UpdateWholeFile(board, [&line](std::string& c) { return Append(c, line); })) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& writer : writers) {
    writer.join();
  }
  EXPECT_EQ(failures, 0);
  const std::string content = test::ReadFile(board);
  std::set<std::string> lines;
  for (std::size_t pos = 0; pos < content.size();) {
    const std::size_t lf = content.find('\n', pos);
    lines.insert(content.substr(pos, lf - pos));
    pos = lf + 1;
  }
  EXPECT_EQ(lines.size(), std::size_t{kWriters * kWrites});
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}
TEST(FileStoreTest, TemporaryNamesAreOursAlone) {
  const struct {
    const char* candidate;
    bool ours;
  } cases[] = {
      {".board.ini.vctmp-a1B2c3", true},  {".board.ini.vctmp-XXXXXX", true},
      {".board.ini.vctmp-a1B2c", false},  {".board.ini.vctmp-a1B2c34", false},
      {".board.ini.vctmp-a1B2c-", false}, {"board.ini.vctmp-a1B2c3", false},
      {".other.ini.vctmp-a1B2c3", false}, {".board.ini.a1B2c3", false},
      {".board.ini.backup", false},       {".Board.ini.vctmp-a1B2c3", false},
  };
  auto native = [](std::string_view ascii) {
    return store::NativePath(ascii.begin(), ascii.end());
  };
  const store::NativePath name = native("board.ini");
  for (const auto& c : cases) {
    EXPECT_EQ(store::IsTemporaryFileName(name, native(c.candidate)), c.ours) << c.candidate;
  }
  std::mt19937 random(7);
  const store::NativePath first = store::TemporaryFileName(name, random);
  EXPECT_TRUE(store::IsTemporaryFileName(name, first));
  EXPECT_EQ(first.size(), native(".board.ini.vctmp-XXXXXX").size());
  EXPECT_NE(store::TemporaryFileName(name, random), first);
}

// A writer killed between creating its temporary and renaming it leaves the temporary; the next
// write under the lock takes it away, and nothing else.
TEST(FileStoreTest, LeftoverTemporariesGoAtTheNextWrite) {
  for (const EditResult edit_result : {EditResult::kChanged, EditResult::kUnchanged}) {
    test::TempDir dir;
    const std::string board = dir.Path("board.ini");
    test::WriteFile(board, "old\n");
    test::WriteFile(dir.Path(".board.ini.vctmp-a1B2c3"), "half");
    test::WriteFile(dir.Path(".board.ini.vctmp-zz9"), "not ours");
    test::WriteFile(dir.Path(".other.ini.vctmp-a1B2c3"), "another file's");
    test::WriteFile(dir.Path("victim"), "keep");
    test::MakeFolders(dir.Path(".board.ini.vctmp-DIR000"));  // a name of ours, but no file
    ASSERT_TRUE(UpdateWholeFile(board, [edit_result](std::string& c) {
      c += edit_result == EditResult::kChanged ? "new\n" : "";
      return edit_result;
    }));
    EXPECT_EQ(test::ListFolder(dir.path()),
              ".board.ini.vctmp-DIR000 .board.ini.vctmp-zz9 .other.ini.vctmp-a1B2c3 board.ini "
              "victim");
    EXPECT_EQ(test::ReadFile(dir.Path("victim")), "keep");
  }
}
// The driver replaces the file while we edit it: our edit is made again on its content, so its
// change is not lost.
TEST(FileStoreTest, FileReplacedWhileBeingEditedIsEditedAgain) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  int calls = 0;
  ASSERT_TRUE(UpdateWholeFile(board, [&](std::string& c) {
    if (++calls == 1) {
      DriverReplaces(dir, board, "driver\n");
    }
    return Append(c, "ours\n");
  }));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(test::ReadFile(board), "driver\nours\n");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}
TEST(FileStoreTest, FileCreatedWhileBeingEditedIsNotClobbered) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  int calls = 0;
  ASSERT_TRUE(UpdateWholeFile(board, [&](std::string& c) {
    if (++calls == 1) {
      test::WriteFile(board, "driver\n");
    }
    return Append(c, "ours\n");
  }));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(test::ReadFile(board), "driver\nours\n");
}
// The same for a file that was missing when read and that someone creates at that instant.
TEST(FileStoreTest, FileCreatedUnderWayIsNeverOverwritten) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  int replacements = 0;
  const test::HookedRenamer renamer([&] {
    if (++replacements == 1) {
      test::WriteFile(board, "driver\n");
    }
  });
  const bool ok = store::UpdateWholeFile(
      board, [](std::string& c) { return Append(c, "ours\n"); }, kLockWait, renamer);
  EXPECT_TRUE(ok);
  EXPECT_EQ(test::ReadFile(board), "driver\nours\n");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}
TEST(FileStoreTest, FileThatKeepsBeingReplacedIsLeftToItsWriter) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  int calls = 0;
  const WriteResult result = UpdateWholeFile(board, [&](std::string& c) {
    DriverReplaces(dir, board, "driver " + std::to_string(++calls) + "\n");
    return Append(c, "ours\n");
  });
  EXPECT_EQ(result.failure, WriteFailure::kKeptChanging);
  EXPECT_GT(calls, 1);
  EXPECT_EQ(test::ReadFile(board), "driver " + std::to_string(calls) + "\n");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}
TEST(FileStoreTest, FailedEditLeavesEverythingAsItWas) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  test::WriteFile(dir.Path(".board.ini.vctmp-a1B2c3"), "half");
  EXPECT_FALSE(UpdateWholeFile(board, [](std::string& c) {
    c = "garbage";
    return EditResult::kFailed;
  }));
  EXPECT_EQ(test::ReadFile(board), "old\n");
  EXPECT_EQ(test::ListFolder(dir.path()), ".board.ini.vctmp-a1B2c3 board.ini");
}
TEST(FileStoreTest, FileBeyondTheSizeLimitIsRefused) {
  test::TempDir dir;
  const std::string big = dir.Path("big.ini");
  test::WriteFile(big, "");
  std::filesystem::resize_file(big, kMaxFileSize + 1);  // sparse
  std::string content;
  EXPECT_EQ(ReadWholeFile(big, content), ReadResult::kFailed);
  EXPECT_TRUE(content.empty());
  EXPECT_FALSE(ReplaceWholeFile(big, "x"));
  EXPECT_EQ(test::ListFolder(dir.path()), "big.ini");
}

}  // namespace
}  // namespace ventrel
