#include "utility/file_store.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include <grp.h>

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

// Someone else's lock on the folder, as another writer holds it.
class HeldLock {
 public:
  explicit HeldLock(const std::string& folder)
      : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    EXPECT_EQ(::flock(fd_, LOCK_EX), 0);
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  ~HeldLock() { Release(); }
  void Release() {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  int fd_;
};

EditResult Append(std::string& content, const std::string& line) {
  content += line;
  return EditResult::kChanged;
}

TEST(FileStoreTest, UpdateGivesUpWhileAnotherWriterHoldsTheLock) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  HeldLock other(dir.path());
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(UpdateWholeFile(
      board, [](std::string& c) { return Append(c, "new\n"); }, std::chrono::milliseconds(150)));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150));
  EXPECT_EQ(test::ReadFile(board), "old\n");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}

TEST(FileStoreTest, UpdateWaitsForTheLockHolder) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  HeldLock other(dir.path());
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
  for (const auto& c : cases) {
    EXPECT_EQ(IsTemporaryFileName("board.ini", c.candidate), c.ours) << c.candidate;
  }
  EXPECT_EQ(TemporaryFileTemplate("board.ini"), ".board.ini.vctmp-XXXXXX");
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
    ASSERT_EQ(::symlink("victim", dir.Path(".board.ini.vctmp-LINK00").c_str()), 0);
    ASSERT_TRUE(UpdateWholeFile(board, [edit_result](std::string& c) {
      c += edit_result == EditResult::kChanged ? "new\n" : "";
      return edit_result;
    }));
    EXPECT_EQ(test::ListFolder(dir.path()),
              ".board.ini.vctmp-LINK00 .board.ini.vctmp-zz9 .other.ini.vctmp-a1B2c3 board.ini "
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
      test::WriteFile(dir.Path("driver.tmp"), "driver\n");
      EXPECT_EQ(::rename(dir.Path("driver.tmp").c_str(), board.c_str()), 0);
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

// A rename of the driver's that is still under way in the kernel when we check the file (on ext4
// it can wait milliseconds for the journal): the check passes, yet theirs lands before ours. Ours
// must not replace it.
TEST(FileStoreTest, ReplacementUnderWayIsNeverOverwritten) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  int replacements = 0;
  SetBeforeReplacementHook([&] {
    if (++replacements == 1) {
      test::WriteFile(dir.Path("driver.tmp"), "driver\n");
      EXPECT_EQ(::rename(dir.Path("driver.tmp").c_str(), board.c_str()), 0);
    }
  });
  int calls = 0;
  const bool ok = UpdateWholeFile(board, [&](std::string& c) {
    ++calls;
    return Append(c, "ours\n");
  });
  SetBeforeReplacementHook(nullptr);
  EXPECT_TRUE(ok);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(test::ReadFile(board), "driver\nours\n");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}

// The same for a file that was missing when read and that someone creates at that instant.
TEST(FileStoreTest, FileCreatedUnderWayIsNeverOverwritten) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  int replacements = 0;
  SetBeforeReplacementHook([&] {
    if (++replacements == 1) {
      test::WriteFile(board, "driver\n");
    }
  });
  const bool ok = UpdateWholeFile(board, [](std::string& c) { return Append(c, "ours\n"); });
  SetBeforeReplacementHook(nullptr);
  EXPECT_TRUE(ok);
  EXPECT_EQ(test::ReadFile(board), "driver\nours\n");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}

TEST(FileStoreTest, FileThatKeepsBeingReplacedIsLeftToItsWriter) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  int calls = 0;
  EXPECT_FALSE(UpdateWholeFile(board, [&](std::string& c) {
    test::WriteFile(dir.Path("driver.tmp"), "driver " + std::to_string(++calls) + "\n");
    EXPECT_EQ(::rename(dir.Path("driver.tmp").c_str(), board.c_str()), 0);
    return Append(c, "ours\n");
  }));
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

// Neither a pipe nor a device is read: a pipe would block for ever, a device never end.
TEST(FileStoreTest, NoRegularFileIsNeitherReadNorReplaced) {
  test::TempDir dir;
  const std::string fifo = dir.Path("board.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::string content;
  EXPECT_EQ(ReadWholeFile(fifo, content), ReadResult::kFailed);
  EXPECT_FALSE(ReplaceWholeFile(fifo, "x"));
  EXPECT_EQ(ReadWholeFile("/dev/zero", content), ReadResult::kFailed);
  ASSERT_EQ(::symlink("/dev/null", dir.Path("null.ini").c_str()), 0);
  EXPECT_FALSE(ReplaceWholeFile(dir.Path("null.ini"), "x"));
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini null.ini");
}

TEST(FileStoreTest, FileBeyondTheSizeLimitIsRefused) {
  test::TempDir dir;
  const std::string big = dir.Path("big.ini");
  test::WriteFile(big, "");
  ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(kMaxFileSize + 1)), 0);  // sparse
  std::string content;
  EXPECT_EQ(ReadWholeFile(big, content), ReadResult::kFailed);
  EXPECT_TRUE(content.empty());
  EXPECT_FALSE(ReplaceWholeFile(big, "x"));
  EXPECT_EQ(test::ListFolder(dir.path()), "big.ini");
}

// Runs `body` in a child process as an unprivileged user, since root passes every permission
// check; true when it returned true there.
bool AsUnprivilegedUser(const std::function<bool()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const bool ok = ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
    ::_exit(ok && body() ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

// A link another user planted in a shared folder must not point our write at a file of theirs
// choosing.
TEST(FileStoreTest, LinkPlantedByAnotherUserIsRefused) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to give the link to another user";
  }
  test::TempDir dir;
  const std::string victim = dir.Path("victim.ini");
  test::WriteFile(victim, "[SYSTEM]\nA=1\n");
  const std::string board = dir.Path("board.ini");
  ASSERT_EQ(::symlink("victim.ini", board.c_str()), 0);
  ASSERT_EQ(::lchown(board.c_str(), 65534, 65534), 0);
  EXPECT_FALSE(ReplaceWholeFile(board, "x"));
  EXPECT_EQ(test::ReadFile(victim), "[SYSTEM]\nA=1\n");

  // The same link made by the victim's owner is followed.
  ASSERT_EQ(::lchown(board.c_str(), 0, 0), 0);
  EXPECT_TRUE(ReplaceWholeFile(board, "x"));
  EXPECT_EQ(test::ReadFile(victim), "x");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini victim.ini");
}

TEST(FileStoreTest, ReplacementThatCouldNotKeepTheOwnerIsRefused) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as another user";
  }
  test::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  ASSERT_EQ(::chmod(board.c_str(), 0666), 0);  // anyone may write it, but it is root's
  EXPECT_TRUE(AsUnprivilegedUser([&] { return !ReplaceWholeFile(board, "new\n"); }));
  EXPECT_EQ(test::ReadFile(board), "old\n");
  EXPECT_EQ(test::ListFolder(dir.path()), "board.ini");
}

TEST(FileStoreTest, ReadOnlyFolderIsRefusedWithoutTrace) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as another user";
  }
  test::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string folder = dir.Path("data");
  const std::string board = folder + "/board.ini";
  test::WriteFile(board, "old\n");
  ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown(board.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_TRUE(AsUnprivilegedUser([&] { return !ReplaceWholeFile(board, "new\n"); }));
  EXPECT_EQ(test::ReadFile(board), "old\n");
  EXPECT_EQ(test::ListFolder(folder), "board.ini");
  // The same write as the owner of a writable folder goes through.
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  EXPECT_TRUE(AsUnprivilegedUser([&] { return ReplaceWholeFile(board, "new\n"); }));
  EXPECT_EQ(test::ReadFile(board), "new\n");
}

}  // namespace
}  // namespace ventrel
