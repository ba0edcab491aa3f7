// Storage that fails the program: a read-only board file or folder, a folder where the file should
// be, a full disk, a file that cannot be read, a board file replaced while it is read. Each refused
// write gives the message, leaves the original untouched and leaves no stray file. And storage that
// must not fail it: a FAT32 stick, which keeps no Unix owners or modes.
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "reliability/suite.h"

namespace ventrel::reliability {
namespace {

constexpr unsigned kNobody = 65534;

bool IsRoot() {
  return ::geteuid() == 0;
}

// Runs `body` in a child with a mount namespace of its own, so that what it mounts goes with it
// whatever happens; its counts come back through a pipe. False when no namespace can be had.
bool InMountNamespace(Group& group, const std::function<void(Group&)>& body) {
  int fds[2];
  if (::pipe(fds) != 0) {
    return false;
  }
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    Tally counts;
    long failed = -1;
    if (::unshare(CLONE_NEWNS) == 0 &&
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) {
      Group inner(group.name());
      body(inner);
      counts = inner.tally;
      failed = static_cast<long>(inner.FailedCases());
    }
    std::fflush(stdout);
    const long values[] = {counts.cases,   counts.faults,   counts.files, counts.bytes_lost,
                           counts.crashes, counts.failures, failed};
    [[maybe_unused]] const ssize_t written = ::write(fds[1], values, sizeof values);
    ::_exit(0);
  }
  ::close(fds[1]);
  long values[7] = {};
  const bool got = pid > 0 && ::read(fds[0], values, sizeof values) == sizeof values;
  ::close(fds[0]);
  if (pid > 0) {
    ::waitpid(pid, nullptr, 0);
  }
  if (!got || values[6] < 0) {
    return false;
  }
  group.tally.cases += values[0];
  group.tally.faults += values[1];
  group.tally.files += values[2];
  group.tally.bytes_lost += values[3];
  group.tally.crashes += values[4];
  group.tally.failures += values[5];
  for (long i = 0; i < values[6]; ++i) {
    group.Fail("mount namespace case " + std::to_string(i), "(reported above)");
    --group.tally.failures;  // counted once already, in the child's figures
  }
  return true;
}

// A write that must be refused: the message, exit status 1, everything as it was.
void ExpectRefused(Group& group, const std::string& what, const Layout& layout,
                   const RunOutcome& outcome, const std::string& board_before,
                   const std::map<std::string, std::string>& before, const std::string& err) {
  ++group.tally.cases;
  ++group.tally.faults;
  if (group.CheckRun(what, outcome)) {
    group.Expect(outcome.exit_status == 1, what,
                 "exit status " + std::to_string(outcome.exit_status));
    group.Expect(outcome.err == err, what, "said '" + outcome.err + "', not '" + err + "'");
  }
  if (!board_before.empty()) {
    group.CheckFile(what, layout.board, {board_before});
  }
  group.Expect(Snapshot(layout.base) == before, what,
               "the layout changed: " + ListFolder(layout.data));
}

void ChownTree(const std::string& root, unsigned uid) {
  for (const auto& [path, ignored] : Snapshot(root)) {
    [[maybe_unused]] const int result = ::lchown((root + path).c_str(), uid, uid);
  }
  [[maybe_unused]] const int result = ::chown(root.c_str(), uid, uid);
}

void ReadOnlyFile(const Options& options, Group& group, const std::string& board) {
  const Layout layout(options, "read-only-file", board);
  ::chmod(layout.board.c_str(), 0444);
  const auto before = Snapshot(layout.base);
  ExpectRefused(group, "read-only board file", layout, layout.Run({"301"}), board, before,
                WriteFailedMessage(layout.board, kNoPermission));
  RemoveTree(layout.base);
}

// Root passes every permission check, so the case runs as an unprivileged user (nobody) who owns
// the layout but may not write its folder. A board file the user may not write either is refused;
// one the user may write is written in place, as the driver would.
void ReadOnlyFolderAsUser(const Options& options, Group& group, const std::string& board) {
  const Layout layout(options, "read-only-folder", board);
  RunRequest request = layout.Request({"301"});
  if (IsRoot()) {
    ChownTree(layout.base, kNobody);
    request.uid = kNobody;
    request.gid = kNobody;
  }
  ::chmod(layout.board.c_str(), 0444);
  ::chmod(layout.data.c_str(), 0555);
  const auto before = Snapshot(layout.base);
  ExpectRefused(group, "read-only folder and file (unprivileged user)", layout, Run(request), board,
                before, WriteFailedMessage(layout.board, kNoPermission));
  ::chmod(layout.board.c_str(), 0644);
  const std::string what = "read-only folder, writable file (unprivileged user)";
  ++group.tally.cases;
  const RunOutcome outcome = Run(request);
  if (group.CheckRun(what, outcome)) {
    group.Expect(outcome.exit_status == 0 && outcome.err.empty(), what, outcome.err);
  }
  group.CheckFile(what, layout.board, {BoardAfter(board, 301)});
  group.Expect(ListFolder(layout.data) == "VENTREL_DLL.INI VentrelConf.ini", what,
               ListFolder(layout.data));
  ::chmod(layout.data.c_str(), 0755);
  RemoveTree(layout.base);
}

void UnreadableFileAsUser(const Options& options, Group& group, const std::string& board) {
  const Layout layout(options, "unreadable-file", board);
  RunRequest request = layout.Request({"301"});
  if (IsRoot()) {
    ChownTree(layout.base, kNobody);
    request.uid = kNobody;
    request.gid = kNobody;
  }
  ::chmod(layout.board.c_str(), 0200);
  const auto before = Snapshot(layout.base);
  ExpectRefused(group, "write-only board file (unprivileged user)", layout, Run(request), board,
                before, WriteFailedMessage(layout.board, kNoPermission));
  RemoveTree(layout.base);
}

// The folder itself on a read-only mount: even root may not write there.
void ReadOnlyMount(const Options& options, Group& group, const std::string& board) {
  const Layout layout(options, "read-only-mount", board);
  const bool ran = InMountNamespace(group, [&](Group& inner) {
    if (::mount(layout.data.c_str(), layout.data.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, layout.data.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
            0) {
      inner.Fail("read-only mount", "cannot mount");
      return;
    }
    const auto before = Snapshot(layout.base);
    ExpectRefused(inner, "read-only mount", layout, layout.Run({"301"}), board, before,
                  WriteFailedMessage(layout.board, kNoPermission));
  });
  if (!ran) {
    group.Skip("read-only mount", "no mount namespace (needs root)");
  }
  RemoveTree(layout.base);
}

// The board file mounted over from elsewhere, as a container's bind mount gives it: no rename can
// replace a mount point, but the file itself is written in place, and so is the file behind it.
void BindMountedFile(const Options& options, Group& group, const std::string& board) {
  const Layout layout(options, "bind-mounted-file", board);
  const std::string outside = layout.base + "/outside.ini";
  WriteFile(outside, board);
  const std::string what = "bind-mounted board file";
  const bool ran = InMountNamespace(group, [&](Group& inner) {
    if (::mount(outside.c_str(), layout.board.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      inner.Fail(what, "cannot mount");
      return;
    }
    ++inner.tally.cases;
    const RunOutcome outcome = layout.Run({"301"});
    if (inner.CheckRun(what, outcome)) {
      inner.Expect(outcome.exit_status == 0 && outcome.err.empty(), what, outcome.err);
    }
    inner.CheckFile(what, layout.board, {BoardAfter(board, 301)});
    inner.Expect(ListFolder(layout.data) == "VENTREL_DLL.INI VentrelConf.ini", what,
                 ListFolder(layout.data));
  });
  if (!ran) {
    group.Skip(what, "no mount namespace (needs root)");
  } else {
    group.CheckFile(what + ": the file behind the mount", outside, {BoardAfter(board, 301)});
  }
  RemoveTree(layout.base);
}

void FolderInPlaceOfFile(const Options& options, Group& group, const std::string& board) {
  const Layout layout(options, "folder-in-place", "<none>");
  MakeFolders(layout.board);
  WriteFile(layout.board + "/keep.txt", board);
  const auto before = Snapshot(layout.base);
  ExpectRefused(
      group, "folder where the board file should be", layout, layout.Run({"301"}), "", before,
      "VentrelConf: File " + layout.board + " not found !\n" + WriteFailedMessage(layout.board));
  RemoveTree(layout.base);
}

// A small tmpfs that holds the board file but not a second copy of it.
void DiskFullTmpfs(const Options& options, Group& group, const std::string& board) {
  const Layout layout(options, "disk-full", board);
  const bool ran = InMountNamespace(group, [&](Group& inner) {
    const std::string size = "size=" + std::to_string(board.size() + board.size() / 4);
    if (::mount("tmpfs", layout.data.c_str(), "tmpfs", 0, size.c_str()) != 0) {
      inner.Fail("disk full (tmpfs)", "cannot mount");
      return;
    }
    WriteFile(layout.catalogue, Catalogue("Dremont"));
    if (!WriteFile(layout.board, board)) {
      inner.Fail("disk full (tmpfs)", "the board file does not fit");
      return;
    }
    const auto before = Snapshot(layout.base);
    ExpectRefused(inner, "disk full (tmpfs)", layout, layout.Run({"301"}), board, before,
                  WriteFailedMessage(layout.board, kDiskFull));
  });
  if (!ran) {
    group.Skip("disk full (tmpfs)", "no mount namespace (needs root)");
  }
  RemoveTree(layout.base);
}

// A file-size limit below the file's size: the kernel refuses the rest of the temporary file.
void DiskFullSizeLimit(const Options& options, Group& group, const std::string& board) {
  const Layout layout(options, "file-size-limit", board);
  RunRequest request = layout.Request({"301"});
  request.file_size_limit = board.size() / 2;
  const auto before = Snapshot(layout.base);
  ExpectRefused(group, "disk full (file-size limit)", layout, Run(request), board, before,
                WriteFailedMessage(layout.board));
  RemoveTree(layout.base);
}

bool RunsToTheEnd(const std::vector<std::string>& argv) {
  RunRequest request;
  request.argv = argv;
  const RunOutcome outcome = Run(request);
  return outcome.started && outcome.exit_status == 0;
}

// A technician's USB stick: a FAT32 image mounted through FUSE (as on desktops, and where the
// kernel has no vfat driver), with the program and its product folder copied onto it. FAT keeps no
// Unix owners or modes, so the replacement is given none, and needs none.
void FatStick(const Options& options, Group& group) {
  const std::string what = "FAT32 stick (fusefat)";
  // fusefat writes slowly (4 KiB at a time without big_writes): a small board file will do.
  const std::string board = DriverBoard(64 << 10);
  const std::string mkfs = "/usr/sbin/mkfs.vfat";
  const std::string fsck = "/usr/sbin/fsck.vfat";
  const std::string fusefat = "/usr/bin/fusefat";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    group.Skip(what, "no /dev/fuse");
    return;
  }
  if (::access(mkfs.c_str(), X_OK) != 0 || ::access(fusefat.c_str(), X_OK) != 0) {
    group.Skip(what, "fusefat or dosfstools is not installed");
    return;
  }
  const std::string image = options.work + "/stick.img";
  const std::string mount_point = options.work + "/stick";
  MakeFolders(mount_point);
  WriteFile(image, "");
  std::error_code error;
  std::filesystem::resize_file(image, 64 << 20, error);
  if (error || !RunsToTheEnd({mkfs, "-F", "32", "-n", "STICK", image})) {
    group.Fail(what, "cannot make the FAT32 image");
    return;
  }
  const auto started = std::chrono::steady_clock::now();
  const bool ran = InMountNamespace(group, [&](Group& inner) {
    if (!RunsToTheEnd({fusefat, "-o", "rw+,big_writes", image, mount_point})) {
      inner.Fail(what, "cannot mount");
      return;
    }
    Options on_stick = options;
    on_stick.work = mount_point;
    const Layout layout(on_stick, "VentrelConf", board);
    const std::string after_301 = BoardAfter(board, 301);
    for (const auto& [model, expected] :
         {std::pair{301, after_301}, std::pair{200, BoardState(board, 200, 301)}}) {
      const std::string run_what = what + ", model " + std::to_string(model);
      ++inner.tally.cases;
      const RunOutcome outcome = layout.Run({std::to_string(model)});
      if (inner.CheckRun(run_what, outcome)) {
        inner.Expect(outcome.exit_status == 0 && outcome.err.empty(), run_what,
                     "exit status " + std::to_string(outcome.exit_status) + ": " + outcome.err);
      }
      inner.CheckFile(run_what, layout.board, {expected});
      inner.Expect(ListFolder(layout.data) == "VENTREL_DLL.INI VentrelConf.ini", run_what,
                   ListFolder(layout.data));
    }
    inner.Expect(::umount2(mount_point.c_str(), 0) == 0, what, "cannot unmount");
  });
  if (!ran) {
    group.Skip(what, "no mount namespace (needs root)");
  } else {
    if (::access(fsck.c_str(), X_OK) == 0) {
      group.Expect(RunsToTheEnd({fsck, "-n", image}), what, "the file system is damaged");
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::printf("  FAT32 stick: two writes on fusefat (%lld ms with the copy of the program)\n",
                static_cast<long long>(took.count()));
  }
  ::unlink(image.c_str());
  RemoveTree(mount_point);
}

// The driver (which takes no lock) replaces the file once, at a random moment of the run. Either
// its content gets our edit (read again), or it came after our write; its content is never lost.
void ReplacedWhileRead(const Options& options, Group& group, std::mt19937& random) {
  const int runs = options.full ? 150 : 20;
  const std::string original = DriverBoard(8 << 20);
  const Layout layout(options, "replaced-while-read", original);
  const RunOutcome calibration = layout.Run({"301"});
  group.CheckRun("replaced while read, calibration", calibration);
  const long typical_us = static_cast<long>(calibration.duration.count());
  std::uniform_int_distribution<long> delay(0, typical_us);
  int during = 0;
  int edited_again = 0;
  for (int i = 1; i <= runs; ++i) {
    const std::string what = "replaced while read " + std::to_string(i);
    WriteFile(layout.board, original);
    const std::string replacement = BoardState(original, 300, 300, i);
    const std::string staged = layout.data + "/driver.new";
    WriteFile(staged, replacement);
    const auto started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point replaced_at;
    std::thread driver([&, wait = delay(random)] {
      std::this_thread::sleep_for(std::chrono::microseconds(wait));
      ::rename(staged.c_str(), layout.board.c_str());
      replaced_at = std::chrono::steady_clock::now();
    });
    const RunOutcome outcome = layout.Run({"301"});
    const auto ended = std::chrono::steady_clock::now();
    driver.join();
    ++group.tally.cases;
    if (replaced_at >= started && replaced_at <= ended) {
      ++during;
      ++group.tally.faults;
    }
    if (group.CheckRun(what, outcome)) {
      group.Expect(outcome.exit_status == 0 ? outcome.err.empty()
                                            : outcome.err == WriteFailedMessage(layout.board),
                   what, outcome.err);
    }
    const std::string ours_on_theirs = BoardState(original, 300, 301, i);
    group.CheckFile(what, layout.board, {ours_on_theirs, replacement});
    if (ReadFile(layout.board) == ours_on_theirs) {
      ++edited_again;
    }
    group.Expect(ListFolder(layout.data) == "VENTREL_DLL.INI VentrelConf.ini", what,
                 ListFolder(layout.data));
  }
  std::printf(
      "  replaced while read: %d of %d replacements fell within the run; %d runs wrote "
      "their model onto the driver's new content\n",
      during, runs, edited_again);
  RemoveTree(layout.base);
}

// A driver that rewrites the whole file from its own memory, without a pause, all through the
// runs. A write may win a moment between its rewrites, or give up, saying why; what a run leaves
// is a rewrite of the driver's or our edit of one, never of one older than the run itself.
void RewrittenWithoutPause(const Options& options, Group& group) {
  const int runs = options.full ? 40 : 6;
  const std::string original = DriverBoard(64 << 10);
  const Layout layout(options, "rewritten-without-pause", original);
  const std::string staged = layout.data + "/driver.new";
  std::atomic<bool> stop{false};
  std::atomic<int> rewrites{0};
  std::thread driver([&] {
    while (!stop) {
      WriteFile(staged, BoardState(original, 300, 300, ++rewrites));
      ::rename(staged.c_str(), layout.board.c_str());
    }
  });
  int gave_up = 0;
  const auto started = std::chrono::steady_clock::now();
  for (int i = 1; i <= runs; ++i) {
    const std::string what = "rewritten without a pause " + std::to_string(i);
    ++group.tally.cases;
    ++group.tally.faults;
    // The rewrite under way when the run starts may not have landed yet.
    const int oldest = rewrites - 1;
    const RunOutcome outcome = layout.Run({"301"});
    // A version of the driver's that an exchange brought out and could not put back (it replaced
    // the file again meanwhile) is kept beside it, never removed, and every later write says so.
    const std::string kept_changing = std::string(kKeptChanging);
    if (group.CheckRun(what, outcome)) {
      gave_up += outcome.exit_status == 1 ? 1 : 0;
      group.Expect(
          outcome.exit_status == 0
              ? outcome.err.empty() || outcome.err == KeptCopyMessage(layout.board)
              : outcome.err == WriteFailedMessage(layout.board, kept_changing) ||
                    outcome.err == WriteFailedMessage(layout.board,
                                                      kept_changing + " " + std::string(kKeptCopy)),
          what, "exit status " + std::to_string(outcome.exit_status) + ": " + outcome.err);
    }
    // The driver only ever renames whole files in: one read sees one of them, or our edit.
    const std::string left = ReadFile(layout.board);
    const std::size_t at = left.find("\nCOUNTER=");
    const int counter = at == std::string::npos ? -1 : std::atoi(left.c_str() + at + 9);
    ++group.tally.files;
    group.Expect(counter >= oldest, what,
                 "left rewrite " + std::to_string(counter) + ", older than the run's " +
                     std::to_string(oldest));
    group.Expect(left == BoardState(original, 300, 300, counter) ||
                     left == BoardState(original, 300, 301, counter),
                 what, "left neither rewrite " + std::to_string(counter) + " nor our edit of it");
  }
  stop = true;
  driver.join();
  int kept = 0;
  for (const auto& entry : std::filesystem::directory_iterator(layout.data)) {
    const std::string name = entry.path().filename().string();
    if (name == "VENTREL_DLL.INI" || name == "VentrelConf.ini") {
      continue;
    }
    const std::string content = ReadFile(entry.path().string());
    const std::size_t counter = content.find("\nCOUNTER=");
    ++kept;
    group.Expect(
        name.starts_with(".VENTREL_DLL.INI.vckept-") && counter != std::string::npos &&
            content == BoardState(original, 300, 300, std::atoi(content.c_str() + counter + 9)),
        "rewritten without a pause", "not a whole version of the driver's: " + name);
  }
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  std::printf(
      "  rewritten without a pause: %d of %d writes gave up against %d rewrites (%lld ms), %d of "
      "the driver's versions kept\n",
      gave_up, runs, rewrites.load(), static_cast<long long>(took.count()), kept);
  RemoveTree(layout.base);
}

}  // namespace

void RunStorageFaults(const Options& options, Group& group, std::mt19937& random) {
  const std::string board = DriverBoard(1 << 20);
  ReadOnlyFile(options, group, board);
  ReadOnlyFolderAsUser(options, group, board);
  UnreadableFileAsUser(options, group, board);
  ReadOnlyMount(options, group, board);
  BindMountedFile(options, group, board);
  FolderInPlaceOfFile(options, group, board);
  DiskFullTmpfs(options, group, board);
  DiskFullSizeLimit(options, group, board);
  FatStick(options, group);
  ReplacedWhileRead(options, group, random);
  RewrittenWithoutPause(options, group);
}

}  // namespace ventrel::reliability
