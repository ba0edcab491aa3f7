// Unsafe paths: the temporary file is created exclusively (never through a link someone planted)
// with owner-only permissions and then given the original's, which it never widens; links that
// another user planted, devices and pipes are refused; nothing is written outside the data folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "reliability/suite.h"

namespace ventrel::reliability {
namespace {

constexpr unsigned kNobody = 65534;

std::string ModeOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return "missing";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04o %u:%u", static_cast<unsigned>(info.st_mode & 07777),
                static_cast<unsigned>(info.st_uid), static_cast<unsigned>(info.st_gid));
  return text;
}

void ExpectWrite(Group& group, const std::string& what, const Layout& layout, int model,
                 const std::string& expected) {
  ++group.tally.cases;
  const RunOutcome outcome = layout.Run({std::to_string(model)});
  if (group.CheckRun(what, outcome)) {
    group.Expect(outcome.exit_status == 0 && outcome.err.empty(), what, outcome.err);
  }
  group.CheckFile(what, layout.board, {expected});
}

// A planted link under every name a temporary could get is impossible; links under names of our
// pattern show that none is followed, and none is removed either (only our own regular files are).
void PlantedTemporaryLinks(const Options& options, Group& group, std::mt19937& random) {
  const std::string board = DriverBoard(256 << 10);
  const Layout layout(options, "planted-links", board);
  const std::string victim = layout.base + "/victim.ini";
  WriteFile(victim, "[SYSTEM]\r\nSECRET=1\r\n");
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int i = 0; i < 64; ++i) {
    std::string name = ".VENTREL_DLL.INI.vctmp-";
    for (int c = 0; c < 6; ++c) {
      name += kChars[random() % 62];
    }
    [[maybe_unused]] const int linked =
        ::symlink(victim.c_str(), (layout.data + "/" + name).c_str());
  }
  const std::size_t links = Temporaries(layout.data).size();
  ++group.tally.faults;
  ExpectWrite(group, "links planted under temporary names", layout, 301, BoardAfter(board, 301));
  group.CheckFile("links planted under temporary names: the victim", victim,
                  {"[SYSTEM]\r\nSECRET=1\r\n"});
  group.Expect(Temporaries(layout.data).size() == links, "links planted under temporary names",
               "a planted link was removed");
  RemoveTree(layout.base);
}

void PermissionsKept(const Options& options, Group& group) {
  const std::string board = DriverBoard(64 << 10);
  for (const mode_t mode : {0600, 0640, 0604, 0660, 0644, 0620}) {
    const Layout layout(options, "permissions", board);
    ::chmod(layout.board.c_str(), mode);
    if (::geteuid() == 0) {
      [[maybe_unused]] const int owned = ::chown(layout.board.c_str(), 1234, 5678);
    }
    const std::string before = ModeOf(layout.board);
    char what[64];
    std::snprintf(what, sizeof what, "permissions %04o", static_cast<unsigned>(mode));
    ++group.tally.faults;
    ExpectWrite(group, what, layout, 301, BoardAfter(board, 301));
    group.Expect(ModeOf(layout.board) == before, what,
                 "became " + ModeOf(layout.board) + " from " + before);
    RemoveTree(layout.base);
  }
}

// Another user's link in a shared data folder must not point our write at a file of theirs
// choosing.
void PlantedBoardLink(const Options& options, Group& group) {
  if (::geteuid() != 0) {
    group.Skip("board file linked by another user", "needs root to give the link away");
    return;
  }
  const Layout layout(options, "planted-board-link", "<none>");
  const std::string victim = options.work + "/outside/passwd";
  MakeFolders(options.work + "/outside");
  WriteFile(victim, "root:x:0:0::/root:/bin/sh\n");
  ::symlink(victim.c_str(), layout.board.c_str());
  [[maybe_unused]] const int owned = ::lchown(layout.board.c_str(), kNobody, kNobody);
  ++group.tally.cases;
  ++group.tally.faults;
  const RunOutcome outcome = layout.Run({"301"});
  if (group.CheckRun("board file linked by another user", outcome)) {
    group.Expect(outcome.exit_status == 1 && outcome.err == WriteFailedMessage(layout.board),
                 "board file linked by another user", outcome.err);
  }
  group.CheckFile("board file linked by another user: the victim", victim,
                  {"root:x:0:0::/root:/bin/sh\n"});
  RemoveTree(layout.base);
  RemoveTree(options.work + "/outside");
}

// Neither a pipe nor a device is a board file: no hang, no write, the message.
void NoRegularFile(const Options& options, Group& group) {
  for (const std::string kind : {"pipe", "link to /dev/null", "link to /dev/zero"}) {
    const Layout layout(options, "no-regular-file", "<none>");
    if (kind == "pipe") {
      ::mkfifo(layout.board.c_str(), 0644);
    } else {
      ::symlink(kind == "link to /dev/null" ? "/dev/null" : "/dev/zero", layout.board.c_str());
    }
    const std::string what = "board file is a " + kind;
    ++group.tally.cases;
    ++group.tally.faults;
    RunRequest request = layout.Request({"301"});
    request.time_out = std::chrono::seconds(20);
    const RunOutcome outcome = Run(request);
    if (group.CheckRun(what, outcome)) {
      group.Expect(outcome.exit_status == 1 && outcome.err == "VentrelConf: File " + layout.board +
                                                                  " not found !\n" +
                                                                  WriteFailedMessage(layout.board),
                   what, outcome.err);
    }
    group.Expect(ListFolder(layout.data) == "VENTREL_DLL.INI VentrelConf.ini", what,
                 ListFolder(layout.data));
    RemoveTree(layout.base);
  }
}

// Every run of a series leaves everything outside the data folder as it was, and inside it only
// the board file changed (and a killed writer's temporary went).
void NothingOutsideTheDataFolder(const Options& options, Group& group) {
  const std::string board = DriverBoard(64 << 10);
  const Layout layout(options, "outside-check", board);
  MakeFolders(options.work + "/neighbour");
  WriteFile(options.work + "/neighbour/VENTREL_DLL.INI", board);
  WriteFile(layout.data + "/.VENTREL_DLL.INI.vctmp-K1lled", "half a board");
  auto before = Snapshot(options.work);
  const bool root_file = std::filesystem::exists("/VENTREL_DLL.INI");
  for (const int model : {301, 200, 300, 250, -1}) {
    ++group.tally.cases;
    const RunOutcome outcome = layout.Run({std::to_string(model)});
    group.CheckRun("series of runs", outcome);
  }
  auto after = Snapshot(options.work);
  const std::string board_key = layout.board.substr(options.work.size());
  const std::string leftover_key =
      board_key.substr(0, board_key.rfind('/')) + "/.VENTREL_DLL.INI.vctmp-K1lled";
  group.Expect(before.erase(leftover_key) == 1 && after.count(leftover_key) == 0, "series of runs",
               "the killed writer's temporary is still there");
  before.erase(board_key);
  after.erase(board_key);
  ++group.tally.files;
  group.Expect(before == after, "series of runs", "something besides the board file changed");
  group.CheckFile("series of runs", layout.board, {BoardState(board, 300, 300)});
  group.Expect(std::filesystem::exists("/VENTREL_DLL.INI") == root_file, "series of runs",
               "a board file appeared at the root");
  RemoveTree(layout.base);
  RemoveTree(options.work + "/neighbour");
}

// Without a product folder there is no data folder: the program writes nowhere at all.
void NoDataFolder(const Options& options, Group& group) {
  const Layout layout(options, "no-data-folder", "<none>");
  RemoveTree(layout.data);
  const auto before = Snapshot(options.work);
  const bool root_file = std::filesystem::exists("/VENTREL_DLL.INI");
  ++group.tally.cases;
  ++group.tally.faults;
  const RunOutcome outcome = layout.Run({"301"});
  if (group.CheckRun("no data folder", outcome)) {
    group.Expect(outcome.exit_status == 1, "no data folder", outcome.err);
  }
  group.Expect(
      Snapshot(options.work) == before && std::filesystem::exists("/VENTREL_DLL.INI") == root_file,
      "no data folder", "the program wrote somewhere");
  RemoveTree(layout.base);
}

bool InsideFolder(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() + 1 && path.compare(0, folder.size() + 1, folder + "/") == 0;
}

// What the system calls of a write show: every file created exclusively with owner-only
// permissions, and every path that is created, renamed, removed or opened for writing inside the
// data folder.
void SystemCallsOfAWrite(const Options& options, Group& group) {
  if (::access("/usr/bin/strace", X_OK) != 0) {
    group.Skip("system calls of a write", "strace is not installed");
    return;
  }
  const std::string board = DriverBoard(64 << 10);
  const Layout layout(options, "system-calls", board);
  WriteFile(layout.data + "/.VENTREL_DLL.INI.vctmp-K1lled", "half a board");
  const std::string trace = layout.base + "/trace.txt";
  RunRequest request;
  request.argv = {"/usr/bin/strace", "-f", "-y",  "-qq",      "-e",
                  "trace=%file",     "-o", trace, layout.exe, "301"};
  ++group.tally.cases;
  const RunOutcome outcome = Run(request);
  const std::string what = "system calls of a write";
  if (group.CheckRun(what, outcome)) {
    group.Expect(outcome.exit_status == 0, what, outcome.err);
  }
  group.CheckFile(what, layout.board, {BoardAfter(board, 301)});
  std::istringstream lines(ReadFile(trace));
  int created = 0;
  int changed = 0;
  for (std::string line; std::getline(lines, line);) {
    // "PID  call(arguments) = result": strace pads the pid to a width of its own.
    const std::size_t paren = line.find('(');
    const std::size_t space =
        paren == std::string::npos ? std::string::npos : line.rfind(' ', paren);
    if (space == std::string::npos) {
      continue;
    }
    const std::string call = line.substr(space + 1, paren - space - 1);
    const bool is_open = call == "open" || call == "openat" || call == "creat";
    const bool writes = is_open ? line.find("O_WRONLY") != std::string::npos ||
                                      line.find("O_RDWR") != std::string::npos ||
                                      line.find("O_CREAT") != std::string::npos ||
                                      line.find("O_TRUNC") != std::string::npos
                                : call.find("rename") == 0 || call.find("unlink") == 0 ||
                                      call.find("mkdir") == 0 || call.find("link") == 0 ||
                                      call.find("symlink") == 0 ||
                                      call.find("chmod") != std::string::npos ||
                                      call.find("chown") != std::string::npos ||
                                      call == "truncate" || call == "utimensat";
    if (!writes) {
      continue;
    }
    ++changed;
    if (line.find("O_CREAT") != std::string::npos) {
      ++created;
      group.Expect(
          line.find("O_EXCL") != std::string::npos && line.find(", 0600)") != std::string::npos,
          what, "not created exclusively and privately: " + line);
    }
    // Each quoted path, joined to the folder of a "N</folder>" descriptor before it.
    std::string folder;
    for (std::size_t at = paren; at < line.size();) {
      const std::size_t quote = line.find('"', at);
      const std::size_t fd_path = line.find('<', at);
      if (fd_path != std::string::npos && (quote == std::string::npos || fd_path < quote)) {
        const std::size_t close = line.find('>', fd_path);
        folder = line.substr(fd_path + 1, close - fd_path - 1);
        at = close + 1;
        continue;
      }
      if (quote == std::string::npos) {
        break;
      }
      const std::size_t end = line.find('"', quote + 1);
      std::string path = line.substr(quote + 1, end - quote - 1);
      if (path.front() != '/') {
        path = folder + "/" + path;
      }
      group.Expect(InsideFolder(path, layout.data), what, "touched " + path + ": " + line);
      folder.clear();
      at = end + 1;
    }
  }
  group.Expect(created >= 1 && changed >= 3, what,
               "the trace shows no write (" + std::to_string(changed) + " calls)");
  group.Expect(Temporaries(layout.data).empty(), what, "the killed writer's temporary is left");
  RemoveTree(layout.base);
}

}  // namespace

void RunUnsafePaths(const Options& options, Group& group, std::mt19937& random) {
  PlantedTemporaryLinks(options, group, random);
  PermissionsKept(options, group);
  PlantedBoardLink(options, group);
  NoRegularFile(options, group);
  NothingOutsideTheDataFolder(options, group);
  NoDataFolder(options, group);
  SystemCallsOfAWrite(options, group);
}

}  // namespace ventrel::reliability
