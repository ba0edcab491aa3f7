// What only Linux has: permission bits and owners, symbolic links, renameat2's exchange.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "support/store_support.h"
#include "support/temp_dir.h"
#include "utility/store/file_store.h"

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

// Neither a pipe nor a device is read: a pipe would block for ever, a device never end.
TEST(FileStorePosixTest, NoRegularFileIsNeitherReadNorReplaced) {
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
TEST(FileStorePosixTest, LinkPlantedByAnotherUserIsRefused) {
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

TEST(FileStorePosixTest, ReplacementThatCouldNotKeepTheOwnerIsRefused) {
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

TEST(FileStorePosixTest, ReadOnlyFolderIsRefusedWithoutTrace) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as another user";
  }
  test::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string folder = dir.Path("data");
  const std::string board = folder + "/board.ini";
  test::WriteFile(board, "old\n");
  ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_TRUE(AsUnprivilegedUser(
      [&] { return ReplaceWholeFile(board, "new\n").failure == WriteFailure::kNoPermission; }));
  EXPECT_EQ(test::ReadFile(board), "old\n");
  EXPECT_EQ(test::ListFolder(folder), "board.ini");
  // A file the user may write, in that folder, is written in place, as the driver would.
  ASSERT_EQ(::chown(board.c_str(), 65534, 65534), 0);
  EXPECT_TRUE(AsUnprivilegedUser([&] { return ReplaceWholeFile(board, "newer\n\n"); }));
  EXPECT_EQ(test::ReadFile(board), "newer\n\n");
  EXPECT_TRUE(AsUnprivilegedUser([&] { return ReplaceWholeFile(board, "old\n"); }));
  EXPECT_EQ(test::ReadFile(board), "old\n") << "the rest is cut off";
  EXPECT_EQ(test::ListFolder(folder), "board.ini");
  // The same write as the owner of a writable folder goes through.
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  EXPECT_TRUE(AsUnprivilegedUser([&] { return ReplaceWholeFile(board, "new\n"); }));
  EXPECT_EQ(test::ReadFile(board), "new\n");
}

// A link under a temporary's name is not ours to follow or remove.
TEST(FileStorePosixTest, LeftoverLinkIsLeftAlone) {
  test::TempDir dir;
  const std::string board = dir.Path("board.ini");
  test::WriteFile(board, "old\n");
  test::WriteFile(dir.Path("victim"), "keep");
  ASSERT_EQ(::symlink("victim", dir.Path(".board.ini.vctmp-LINK00").c_str()), 0);
  ASSERT_TRUE(ReplaceWholeFile(board, "new\n"));
  EXPECT_EQ(test::ListFolder(dir.path()), ".board.ini.vctmp-LINK00 board.ini victim");
  EXPECT_EQ(test::ReadFile(dir.Path("victim")), "keep");
}

}  // namespace
}  // namespace ventrel
