#include "utility/store/file_store.h"
#include "support/store_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "support/fake_file_system.h"
#include "support/power_loss.h"
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
    std::promise<void> locked;
    std::future<void> locked_future = locked.get_future();
    writer_ = std::thread([this, file, locked = std::move(locked)]() mutable {
      bool told = false;
      UpdateWholeFile(file, [&](std::string&) {
        told = true;
        locked.set_value();
        release_future_.wait();
        return EditResult::kUnchanged;
      });
      if (!told) {
        locked.set_value();  // even when it could not lock, nobody waits for ever
      }
    });
    locked_future.wait();
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  ~HeldLock() { Release(); }
  void Release() {
    if (writer_.joinable()) {
      release_.set_value();
      writer_.join();
    }
  }

 private:
  std::promise<void> release_;
  std::shared_future<void> release_future_ = release_.get_future().share();
  std::thread writer_;
};

// As an edit must be: what it adds is there already, it changes nothing.
EditResult Append(std::string& content, const std::string& line) {
  if (content.ends_with(line)) {
    return EditResult::kUnchanged;
  }
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

// On the real disk the holder lets go while the writer waits or just before: either way it writes.
TEST(FileStoreTest, UpdateWaitsForTheLockHolder) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  HeldLock other(board);
  std::thread writer([&board] {
    EXPECT_TRUE(UpdateWholeFile(board, [](std::string& c) { return Append(c, "new\n"); }));
  });
  other.Release();
  writer.join();
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
      {".board.ini.vctmp-a1B2c3", true},
      {".board.ini.vctmp-XXXXXX", true},
      {".board.ini.vctmp-a1B2c", false},
      {".board.ini.vctmp-a1B2c34", false},
      {".board.ini.vctmp-a1B2c-", false},
      {"board.ini.vctmp-a1B2c3", false},
      {".other.ini.vctmp-a1B2c3", false},
      {".board.ini.a1B2c3", false},
      {".board.ini.backup", false},
      {".Board.ini.vctmp-a1B2c3", false},
      {".board.ini.vckept-a1B2c3-0123456789abcdef-0123456789abcdef", false},
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
  // A kept name is no temporary's, and tells the two contents it vouches for.
  const store::NativePath kept = store::KeptFileName(name, {0x0123456789abcdef, 42}, random);
  EXPECT_FALSE(store::IsTemporaryFileName(name, kept));
  const auto hashes = store::KeptFileHashes(name, kept);
  ASSERT_TRUE(hashes.has_value());
  EXPECT_EQ(hashes->read, 0x0123456789abcdefU);
  EXPECT_EQ(hashes->written, 42U);
  const store::NativePath journal =
      store::KeptFileName(name, {1, 2}, random, store::KeptKind::kJournal);
  EXPECT_EQ(store::KeptFileHashes(name, journal, store::KeptKind::kJournal)->written, 2U);
  for (const store::NativePath& bad :
       {native(".board.ini.vckept-a1B2c3-0123456789ABCDEF-0123456789abcdef"),
        native(".board.ini.vckept-a1B2c3-0123456789abcdef"), first, journal}) {
    EXPECT_FALSE(store::KeptFileHashes(name, bad).has_value());
  }
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
      c = edit_result == EditResult::kChanged ? "new\n" : c;
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
  EXPECT_EQ(calls, 3);  // the last one confirms, a moment later
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
  EXPECT_EQ(calls, 3);  // the last one confirms, a moment later
  EXPECT_EQ(test::ReadFile(board), "driver\nours\n");
}
// A writer that replaces the file at every one of our tries: we keep trying for two seconds (and
// twenty tries at least, far more than twenty on a quick disk), then leave the file to it.
TEST(FileStoreTest, FileThatKeepsBeingReplacedIsLeftToItsWriter) {
  for (const int replacements : {40, 1 << 30}) {
    test::TempDir dir;
    const std::string board = dir.Path("board.ini");
    test::WriteFile(board, "old\n");
    int calls = 0;
    const auto started = std::chrono::steady_clock::now();
    const WriteResult result = UpdateWholeFile(board, [&](std::string& c) {
      if (++calls <= replacements) {
        DriverReplaces(dir, board, "driver " + std::to_string(calls) + "\n");
      }
      return Append(c, "ours\n");
    });
    const auto took = std::chrono::steady_clock::now() - started;
    if (replacements == 40) {
      EXPECT_TRUE(result) << "forty changes in a row are waited out";
      EXPECT_EQ(test::ReadFile(board), "driver 40\nours\n");
    } else {
      EXPECT_EQ(result.failure, WriteFailure::kKeptChanging);
      EXPECT_GE(took, std::chrono::seconds(2));
      EXPECT_LT(took, std::chrono::seconds(10));
      EXPECT_EQ(test::ReadFile(board), "driver " + std::to_string(calls) + "\n");
    }
    EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
  }
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

// The races, each lined up at its very step over the file system in memory.
using test::FakeCall;
using test::FakeFileSystem;
using test::FakeStep;

constexpr const char* kFakeBoard = "/data/VENTREL_DLL.INI";

FakeFileSystem FakeDisk(FakeFileSystem::Choices choices, const char* content = "old\n") {
  FakeFileSystem fs(choices);
  fs.MakeFolder("/data");
  if (content != nullptr) {
    fs.Put(kFakeBoard, content);
  }
  return fs;
}

FakeFileSystem::Choices WindowsChoices() {
  FakeFileSystem::Choices choices;
  choices.windows = true;
  return choices;
}

// Linux over a file system that cannot exchange two files: the file is renamed over.
FakeFileSystem::Choices NoExchange() {
  FakeFileSystem::Choices choices;
  choices.exchange = false;
  return choices;
}

// Runs `act` before the `nth` step of kind `step` (counting from 1).
void Before(FakeFileSystem& fs, FakeStep step, int nth, std::function<void(int)> act) {
  fs.before = [step, nth, act, seen = 0](const FakeCall& call) mutable {
    if (call.step == step && ++seen >= nth) {
      act(seen);
    }
  };
}

TEST(FileStoreTest, LockHeldByAnotherWriterIsWaitedForOrGivenUp) {
  for (const bool lets_go : {false, true}) {
    FakeFileSystem fs = FakeDisk({});
    fs.HoldLock("/data");
    int waits = 0;
    fs.on_lock_wait = [&] {
      ++waits;
      if (lets_go) {
        fs.KillLockHolder("/data");  // as the system lets go of a killed writer's lock
      }
    };
    const WriteResult result = test::AppendOver(fs, kFakeBoard, "new\n");
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(result.failure, lets_go ? WriteFailure::kNone : WriteFailure::kHeldOpen);
    EXPECT_EQ(fs.Content(kFakeBoard), lets_go ? "old\nnew\n" : "old\n");
    EXPECT_EQ(fs.List("/data"), "VENTREL_DLL.INI");
  }
}

// A writer killed while it held the lock left its temporary; the next write takes it away.
TEST(FileStoreTest, KilledLockHolderLeavesNothingBehind) {
  FakeFileSystem fs = FakeDisk({});
  fs.Put("/data/.VENTREL_DLL.INI.vctmp-a1B2c3", "half");
  fs.HoldLock("/data");
  fs.on_lock_wait = [&] { fs.KillLockHolder("/data"); };
  ASSERT_TRUE(test::AppendOver(fs, kFakeBoard, "new\n"));
  EXPECT_EQ(fs.List("/data"), "VENTREL_DLL.INI");
}

// A file replaced between our read and our rename, on each system's way of renaming: the edit
// runs again on the new content.
TEST(FileStoreTest, FileReplacedBeforeTheRenameIsEditedAgain) {
  FakeFileSystem::Choices no_exchange;
  no_exchange.exchange = false;
  for (const FakeFileSystem::Choices& choices :
       {FakeFileSystem::Choices{}, no_exchange, WindowsChoices()}) {
    FakeFileSystem fs = FakeDisk(choices);
    // Our last look at the file before the rename.
    Before(fs, FakeStep::kCreate, 1, [&](int seen) {
      if (seen == 1) {
        fs.Replace(kFakeBoard, "driver\n");
      }
    });
    int calls = 0;
    ASSERT_TRUE(test::AppendOver(fs, kFakeBoard, "ours\n", &calls)) << choices.windows;
    EXPECT_EQ(calls, 3);  // the last one confirms, a moment later
    EXPECT_EQ(fs.Content(kFakeBoard), "driver\nours\n");
    EXPECT_EQ(fs.List("/data"), "VENTREL_DLL.INI");
  }
}

// A rename of the driver's still under way when we checked: the exchange brings out their file,
// which goes back, and the edit runs again on it. Should the name vanish before theirs can go
// back, it goes back all the same, as their only copy.
TEST(FileStoreTest, ExchangeThatBringsOutSomeoneElsesFileGivesItBack) {
  for (const bool name_vanishes : {false, true}) {
    FakeFileSystem fs = FakeDisk({});
    fs.before = [&, renames = 0](const FakeCall& call) mutable {
      if (call.step != FakeStep::kRename || call.mode != store::RenameMode::kExchange) {
        return;
      }
      if (++renames == 1) {
        fs.Replace(kFakeBoard, "driver\n");
      } else if (renames == 2 && name_vanishes) {
        fs.Remove(kFakeBoard);
      }
    };
    int calls = 0;
    ASSERT_TRUE(test::AppendOver(fs, kFakeBoard, "ours\n", &calls)) << name_vanishes;
    EXPECT_EQ(calls, 3) << name_vanishes;
    EXPECT_EQ(fs.Content(kFakeBoard), "driver\nours\n") << name_vanishes;
    EXPECT_EQ(fs.List("/data"), "VENTREL_DLL.INI") << name_vanishes;
  }
}

// The same for a file that was missing when read and that someone creates at that instant.
TEST(FileStoreTest, FileCreatedUnderWayIsNeverOverwritten) {
  for (const FakeFileSystem::Choices& choices : {FakeFileSystem::Choices{}, WindowsChoices()}) {
    FakeFileSystem fs = FakeDisk(choices, nullptr);
    Before(fs, FakeStep::kRename, 1, [&](int seen) {
      if (seen == 1) {
        fs.Put(kFakeBoard, "driver\n");
      }
    });
    ASSERT_TRUE(test::AppendOver(fs, kFakeBoard, "ours\n")) << choices.windows;
    EXPECT_EQ(fs.Content(kFakeBoard), "driver\nours\n");
    EXPECT_EQ(fs.List("/data"), "VENTREL_DLL.INI");
  }
}

// Windows: another program holds the file for a moment, then for longer than we wait; or it
// shares it for writing, and the write goes in place.
TEST(FileStoreTest, FileInUseIsWaitedForThenWrittenInPlaceOrLeft) {
  const struct {
    int refusals;
    test::Sharing sharing;
    WriteFailure failure;
    const char* content;
  } cases[] = {
      {3, test::Sharing::kReading, WriteFailure::kNone, "old\nours\n"},
      {1000, test::Sharing::kReading, WriteFailure::kHeldOpen, "old\n"},
      {1000, test::Sharing::kReadingAndWriting, WriteFailure::kNone, "old\nours\n"},
  };
  for (const auto& c : cases) {
    FakeFileSystem fs = FakeDisk(WindowsChoices());
    fs.SetInUse(kFakeBoard, c.refusals, c.sharing);
    EXPECT_EQ(test::AppendOver(fs, kFakeBoard, "ours\n").failure, c.failure) << c.refusals;
    EXPECT_EQ(fs.Content(kFakeBoard), c.content) << c.refusals;
    EXPECT_EQ(fs.List("/data"), "VENTREL_DLL.INI") << c.refusals;
  }
}

// The driver writes the file in place, without our lock, while a write of ours is under way. On
// Windows ours goes in place too: a write of the driver's before ours holds the file is found by
// the last look, which compares the content (a write that kept FAT's size and time shows too),
// and one while ours holds it is refused, so that the driver is told; none is undone. Where the
// file is renamed over (no exchange to be had) the file we rename over keeps a second name
// through the rename, to be looked at, and theirs goes back, in place should another program
// hold ours open; without hard links only a write in the instant after the last look is still
// undone there. A write that met the driver is confirmed a moment later, and made again if the
// driver's write, from what it read before, undid it.
TEST(FileStoreTest, DriverWriteDuringAReplacementIsEditedNotUndone) {
  const struct {
    const char* when;
    bool windows;
    bool hard_links;
    int holder;     // refusals of a program that holds the board, sharing reading
    FakeStep step;  // the driver writes before the nth of these (no exchange: the first
    int nth;        // two renames are the exchange's that fails)
    bool same_time;
    bool ours_held_open;
    int calls;
    const char* content;
    int refused = 0;  // of the driver's writes
  } cases[] = {
      {"while a holder is waited for", true, true, 1, FakeStep::kWait, 1, false, false, 3,
       "driver\nours\n"},
      {"before the journal is in place", true, true, 0, FakeStep::kRename, 1, false, false, 3,
       "driver\nours\n"},
      {"before the last look, same size and time", true, false, 0, FakeStep::kCreate, 1, true,
       false, 3, "drv\nours\n"},
      {"while ours is written", true, true, 0, FakeStep::kWrite, 2, false, false, 1, "old\nours\n",
       1},
      {"after ours, from what it read before", true, true, 1, FakeStep::kWait, 2, false, false, 3,
       "driver\nours\n"},
      {"just before the rename", false, true, 0, FakeStep::kRename, 3, false, false, 3,
       "driver\nours\n"},
      {"just before, ours then held open", false, true, 0, FakeStep::kRename, 3, false, true, 3,
       "driver\nours\n"},
      {"just before, without hard links", false, false, 0, FakeStep::kRename, 3, false, false, 1,
       "old\nours\n"},
  };
  for (const auto& c : cases) {
    FakeFileSystem::Choices choices = WindowsChoices();
    choices.windows = c.windows;
    choices.exchange = false;
    choices.hard_links = c.hard_links;
    FakeFileSystem fs = FakeDisk(choices);
    fs.SetInUse(kFakeBoard, c.holder, test::Sharing::kReading);
    Before(fs, c.step, c.nth, [&](int seen) {
      if (seen == c.nth) {
        fs.Put(kFakeBoard, c.same_time ? "drv\n" : "driver\n", c.same_time);
      } else if (seen == c.nth + 1 && c.ours_held_open) {
        fs.SetInUse(kFakeBoard, 1000, test::Sharing::kReadingAndWriting);
      }
    });
    int calls = 0;
    ASSERT_TRUE(test::AppendOver(fs, kFakeBoard, "ours\n", &calls)) << c.when;
    EXPECT_EQ(calls, c.calls) << c.when;
    EXPECT_EQ(fs.Content(kFakeBoard), c.content) << c.when;
    EXPECT_EQ(fs.refused_puts(), c.refused) << c.when;
    EXPECT_EQ(fs.List("/data"), "VENTREL_DLL.INI") << c.when;
  }
}

// The content of the one kept copy beside the board, "" for none.
std::string KeptCopy(const FakeFileSystem& fs) {
  std::string found;
  std::istringstream names(fs.List("/data"));
  for (std::string name; names >> name;) {
    if (name.starts_with(".VENTREL_DLL.INI.vckept-")) {
      EXPECT_EQ(found, "") << "more than one kept copy";
      found = fs.Content("/data/" + name);
    }
  }
  return found;
}

bool IsBoard(const FakeCall& call) {
  const std::string_view board = kFakeBoard;
  return call.path == store::NativePath(board.begin(), board.end());
}

// A step on a kept copy.
bool IsKept(const FakeCall& call) {
  const std::string_view tag = ".vckept-";
  return call.path.find(store::NativePath(tag.begin(), tag.end())) != store::NativePath::npos;
}

// The journal of a write in place that was cut short, as its writer left it beside the board.
void PutJournal(FakeFileSystem& fs, const std::string& read, const std::string& written) {
  std::mt19937 random(1);
  const store::NativePath name = store::KeptFileName(
      fs.NativeFromPath("VENTREL_DLL.INI"), {store::ContentHash(read), store::ContentHash(written)},
      random, store::KeptKind::kJournal);
  fs.Put("/data/" + std::string(name.begin(), name.end()), read + written);
}

// A file the replacement displaced that may be the driver's is never removed: where theirs
// cannot go back, where ours changed while it went back, or where the store could not look at
// it, it stays under a kept name and the write says so, and so does the next one. A copy that
// holds what its writer read goes at the next write, and so does the link of a writer killed
// before its rename, once a write has read that file and replaced it. A journal over a file
// that someone wrote since goes after a kill (they found a whole file); after a power loss they
// may have found it torn, and what the journal's writer read stays as a kept copy.
TEST(FileStoreTest, WhatMayBeSomeoneElsesIsKeptAndReported) {
  const struct {
    const char* what;
    FakeFileSystem::Choices choices;
    std::function<void(FakeFileSystem&)> arrange;
    WriteFailure failure;
    const char* kept;  // after the first write
    bool still_kept;   // after the next one
  } cases[] = {
      {"theirs cannot go back", NoExchange(),
       [](FakeFileSystem& fs) {
         Before(fs, FakeStep::kRename, 3, [&fs](int seen) {
           if (seen == 3) {
             fs.Put(kFakeBoard, "driver\n");
           } else if (seen == 4) {
             fs.SetInUse(kFakeBoard, 1000, test::Sharing::kReading);
           }
         });
       },
       WriteFailure::kHeldOpen, "driver\n", true},
      {"ours written while theirs went back", NoExchange(),
       [](FakeFileSystem& fs) {
         fs.before = [&fs, renames = 0, looks = 0](const FakeCall& call) mutable {
           renames += call.step == FakeStep::kRename;
           if (call.step == FakeStep::kRename && renames == 3) {
             fs.Put(kFakeBoard, "driver\n");
           } else if (renames == 3 && call.step == FakeStep::kIdentity && IsBoard(call) &&
                      ++looks == 1) {
             fs.Put(kFakeBoard, "driver2\n");
           }
         };
       },
       WriteFailure::kNone, "driver\n", true},
      {"no look at what the rename displaced", NoExchange(),
       [](FakeFileSystem& fs) {
         fs.fails = [renamed = false](const FakeCall& call) mutable {
           renamed = renamed ||
                     (call.step == FakeStep::kRename && call.mode == store::RenameMode::kReplace);
           return renamed && IsKept(call) &&
                  (call.step == FakeStep::kIdentity || call.step == FakeStep::kOpen);
         };
       },
       WriteFailure::kOther, "old\n", false},
      {"no look at what the exchange brought out", FakeFileSystem::Choices{},
       [](FakeFileSystem& fs) {
         fs.fails = [exchanged = false](const FakeCall& call) mutable {
           exchanged = exchanged || call.mode == store::RenameMode::kExchange;
           return exchanged && IsKept(call) &&
                  (call.step == FakeStep::kIdentity || call.step == FakeStep::kOpen);
         };
       },
       WriteFailure::kOther, "old\n", false},
      {"a link whose writer was killed before its rename", NoExchange(),
       [](FakeFileSystem& fs) {
         std::mt19937 random(1);
         const store::NativePath board = fs.NativeFromPath(kFakeBoard);
         const store::NativePath link =
             fs.NativeFromPath("/data/") +
             store::KeptFileName(fs.NativeFromPath("VENTREL_DLL.INI"),
                                 {store::ContentHash("older\n"), store::ContentHash("older\n")},
                                 random);
         ASSERT_EQ(fs.LinkBeside(board, link), 0U);
       },
       WriteFailure::kNone, "", false},
      {"a journal over a file written since a power loss", WindowsChoices(),
       [](FakeFileSystem& fs) {
         PutJournal(fs, "old\n", "old\nearlier\n");
         fs.Put(kFakeBoard, "driver\n");
         fs = std::move(fs.StatesAfterPowerLoss().front());
       },
       WriteFailure::kNone, "old\n", true},
      {"a journal over a file written since a kill", WindowsChoices(),
       [](FakeFileSystem& fs) {
         PutJournal(fs, "old\n", "old\nearlier\n");
         fs.Put(kFakeBoard, "driver\n");
       },
       WriteFailure::kNone, "", false},
  };
  for (const auto& c : cases) {
    FakeFileSystem fs = FakeDisk(c.choices);
    c.arrange(fs);
    const WriteResult first = test::AppendOver(fs, kFakeBoard, "ours\n");
    EXPECT_EQ(first.failure, c.failure) << c.what;
    EXPECT_EQ(first.kept_copy, *c.kept != '\0') << c.what;
    EXPECT_EQ(KeptCopy(fs), c.kept) << c.what;
    fs.before = nullptr;
    fs.fails = nullptr;
    fs.SetInUse(kFakeBoard, 0, test::Sharing::kReading);
    const std::string board = fs.Content(kFakeBoard);
    const WriteResult next = test::AppendOver(fs, kFakeBoard, "next\n");
    EXPECT_TRUE(next) << c.what;
    EXPECT_EQ(next.kept_copy, c.still_kept) << c.what;
    EXPECT_EQ(KeptCopy(fs), c.still_kept ? c.kept : "") << c.what;
    EXPECT_EQ(fs.Content(kFakeBoard), board + "next\n") << c.what;
  }
}

// Power lost at any step of a write during which the driver wrote: after the reboot and the
// next write, the driver's write is in the board or in a kept copy, never gone.
TEST(FileStoreTest, PowerLossDuringAPutBackLosesNothingOfTheirs) {
  for (const bool windows : {true, false}) {
    // The driver writes just before the board is exchanged, or before the journal of the write
    // in place is renamed beside it.
    const auto run = [windows](int cut, bool& wrote) {
      FakeFileSystem fs = FakeDisk(windows ? WindowsChoices() : FakeFileSystem::Choices{});
      fs.before = [&fs, &wrote, windows](const FakeCall& call) {
        if (!wrote && call.step == FakeStep::kRename &&
            (windows || call.mode != store::RenameMode::kNoReplace)) {
          wrote = true;
          fs.Put(kFakeBoard, "driver\n");
        }
      };
      fs.CutAfter(cut);
      test::AppendOver(fs, kFakeBoard, "ours\n");
      fs.before = nullptr;
      return fs;
    };
    bool wrote = false;
    const FakeFileSystem whole = run(1000, wrote);
    ASSERT_EQ(whole.Content(kFakeBoard), "driver\nours\n") << windows;
    for (int cut = 0; cut < whole.steps(); ++cut) {
      wrote = false;
      for (FakeFileSystem& state : run(cut, wrote).StatesAfterPowerLoss()) {
        EXPECT_TRUE(test::AppendOver(state, kFakeBoard, "more\n")) << windows << cut;
        const std::string board = state.Content(kFakeBoard);
        EXPECT_TRUE(wrote ? board.starts_with("driver\n") || KeptCopy(state) == "driver\n"
                          : board.starts_with("old\n"))
            << windows << " cut after " << cut << ": " << board;
      }
    }
  }
}

TEST(FileStoreTest, ReadWaitsForAShortExclusiveHold) {
  for (const int refusals : {3, 1000}) {
    FakeFileSystem fs = FakeDisk(WindowsChoices());
    fs.SetInUse(kFakeBoard, refusals, test::Sharing::kNothing);
    std::string content;
    EXPECT_EQ(store::ReadWholeFile(kFakeBoard, content, fs),
              refusals == 3 ? ReadResult::kOk : ReadResult::kFailed);
    EXPECT_EQ(content, refusals == 3 ? "old\n" : "");
  }
}

// A file system that cannot exchange two files (some network and FUSE ones): renamed over.
TEST(FileStoreTest, WithoutExchangeTheFileIsRenamedOver) {
  FakeFileSystem::Choices no_exchange;
  no_exchange.exchange = false;
  FakeFileSystem fs = FakeDisk(no_exchange);
  ASSERT_TRUE(test::AppendOver(fs, kFakeBoard, "ours\n"));
  EXPECT_EQ(fs.Content(kFakeBoard), "old\nours\n");
  EXPECT_EQ(fs.List("/data"), "VENTREL_DLL.INI");
}

// The power-loss model itself: what was flushed survives, the rest may go in part or whole.
TEST(FileStoreTest, PowerLossKeepsWhatWasFlushedAndMayUndoTheRest) {
  FakeFileSystem fs = FakeDisk({});
  // Cut right before the folder is flushed: the exchange may be undone, or kept.
  const FakeFileSystem whole = [] {
    FakeFileSystem probe = FakeDisk({});
    test::AppendOver(probe, kFakeBoard, "ours\n");
    return probe;
  }();
  fs.CutAfter(whole.steps() - 2);
  EXPECT_FALSE(test::AppendOver(fs, kFakeBoard, "ours\n"));
  std::set<std::string> boards;
  for (const FakeFileSystem& state : fs.StatesAfterPowerLoss()) {
    boards.insert(state.Content(kFakeBoard));
  }
  EXPECT_EQ(boards, (std::set<std::string>{"old\n", "old\nours\n"}));
  // After the whole write nothing is undone.
  for (const FakeFileSystem& state : whole.StatesAfterPowerLoss()) {
    EXPECT_EQ(state.Content(kFakeBoard), "old\nours\n");
  }
}

// Every write path, cut after each of its steps: the board is never torn, except in place.
TEST(FileStoreTest, PowerLossAtEveryStepLosesNothing) {
  for (const test::WritePath& path : test::WritePaths()) {
    const test::PowerLossReport report = test::ExplorePowerLoss(path);
    EXPECT_GE(report.states, report.cut_points) << path.name;
    EXPECT_EQ(report.bytes_lost, 0) << path.name;
    EXPECT_EQ(report.problems, std::vector<std::string>{}) << path.name;
    EXPECT_EQ(report.torn > 0, path.may_tear) << path.name;
  }
}

// The exploration finds the fault it is there for: a temporary renamed in before it was flushed.
TEST(FileStoreTest, PowerLossFindsAMissingFlush) {
  test::WritePath path = test::WritePaths().front();
  path.choices.flush_temporaries = false;
  const test::PowerLossReport report = test::ExplorePowerLoss(path);
  EXPECT_GT(report.torn, 0);
  EXPECT_GT(report.bytes_lost, 0);
}

}  // namespace
}  // namespace ventrel
