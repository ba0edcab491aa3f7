// What every group of reliability cases shares: the counts it keeps, the folders it runs the
// program in, and the driver's files it starts from.
#pragma once

#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "reliability/process.h"
#include "support/folder_listing.h"

namespace ventrel::reliability {

struct Options {
  bool full = false;
  std::string exe;     // the built VentrelConf
  std::string writer;  // the section-writer helper
  std::string peak;    // the peak-memory helper
  std::string work;    // a folder of the suite's own
  unsigned seed = 1;
  std::string only;  // runs only the groups whose name starts so
};

// The table's columns for one group.
struct Tally {
  long cases = 0;
  long faults = 0;
  long files = 0;
  long long bytes_lost = 0;
  long crashes = 0;
  long failures = 0;  // checks that failed in other ways: a message, a stray file, a mode
};

// A group's counts, and the report of each thing that went wrong, printed as it happens.
class Group {
 public:
  explicit Group(std::string name) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  Tally tally;
  std::vector<std::string> skipped;

  void Fail(const std::string& what, const std::string& why);
  // The cases that failed in any way: `what` names the case.
  std::size_t FailedCases() const { return failed_.size(); }
  // Counts a crash (or a hang) of a run, and tells whether the run ended normally.
  bool CheckRun(const std::string& what, const RunOutcome& outcome);
  // One file checked: it must hold one of `allowed` exactly; otherwise its bytes lost are counted.
  bool CheckFile(const std::string& what, const std::string& path,
                 const std::vector<std::string>& allowed);
  void Expect(bool ok, const std::string& what, const std::string& why) {
    if (!ok) {
      Fail(what, why);
    }
  }
  void Skip(const std::string& what, const std::string& why) {
    skipped.push_back(what + ": " + why);
  }

 private:
  std::string name_;
  std::set<std::string> failed_;
};

// Files.
bool WriteFile(const std::string& path, const std::string& content);
// The file's bytes; nullopt-like "<missing>" marker is avoided: `ok` tells.
std::string ReadFile(const std::string& path, bool* ok = nullptr);
void MakeFolders(const std::string& path);
void RemoveTree(const std::string& path);
// The names in a folder, sorted, joined by blanks.
using test::ListFolder;
// Every entry under `root` with its kind, mode, owner and content, to tell whether anything
// changed.
std::map<std::string, std::string> Snapshot(const std::string& root);
// The bytes of `expected` not found where they should be in `actual` (0 when equal).
long long BytesLost(const std::string& actual, const std::string& expected);

// The driver's board file, padded with channel sections to about `size` bytes, with BOARD in the
// middle so that an edit has driver content on both sides. BOARD holds "Type = 300" and
// "TYPE_SUB = 300"; NETWORK holds "COUNTER=0".
std::string DriverBoard(std::size_t size, bool with_nul_bytes = false);
// The board after the program stored TYPE and TYPE_SUB (and the helper COUNTER), stated as text
// replacements of `original`, apart from the program's own editing code.
std::string BoardState(const std::string& original, int type, int sub, int counter = 0);
// The board after a silent run with `model`.
std::string BoardAfter(const std::string& original, int model);
std::string Catalogue(const std::string& manufacturer);

// A local layout: a copy of the program in a folder of its own, with Dremont's product folder
// beside it holding the catalogue and `board`.
struct Layout {
  Layout(const Options& options, const std::string& name, const std::string& board,
         const std::string& product = "Zorvik - LAN PANORAMIC");
  std::string base;
  std::string exe;
  std::string data;
  std::string board;
  std::string catalogue;

  RunRequest Request(const std::vector<std::string>& arguments) const;
  RunOutcome Run(const std::vector<std::string>& arguments) const {
    return ::ventrel::reliability::Run(Request(arguments));
  }
};

// What the program says when a write fails, word for word, with the reason when it gives one.
inline constexpr std::string_view kNoPermission =
    "You do not have permission to change it or its folder.";
inline constexpr std::string_view kDiskFull = "The disk is full.";
inline constexpr std::string_view kKeptChanging = "Another program kept changing it.";
inline constexpr std::string_view kKeptCopy =
    "A copy of an earlier version of it, which another program may have written, is kept beside "
    "it under a name that starts with \".VENTREL_DLL.INI.vckept-\": compare the two, then remove "
    "the copy.";
std::string WriteFailedMessage(const std::string& board, std::string_view reason = {});
// What a write that went through says of a copy kept beside the board file.
std::string KeptCopyMessage(const std::string& board);

// The temporary files of ours in a folder.
std::vector<std::string> Temporaries(const std::string& folder);

// The groups.
void RunCrashSafety(const Options& options, Group& group, std::mt19937& random);
void RunConcurrency(const Options& options, Group& group, std::mt19937& random);
void RunStorageFaults(const Options& options, Group& group, std::mt19937& random);
void RunEncodingsAndSizes(const Options& options, Group& group, std::mt19937& random);
void RunUnsafePaths(const Options& options, Group& group, std::mt19937& random);
void RunPowerLoss(const Options& options, Group& group, std::mt19937& random);

}  // namespace ventrel::reliability
