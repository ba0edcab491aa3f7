// SIGKILL at random moments while the program writes a model into a board file of a few
// megabytes: afterwards the file is exactly the old or exactly the new content, and a temporary
// file that a kill left behind is gone after the next write that runs to its end.
#include <algorithm>
#include <cstdio>

#include "reliability/suite.h"

namespace ventrel::reliability {
namespace {

constexpr std::size_t kBoardSize = 4 << 20;

int Other(int model) {
  return model == 301 ? 200 : 301;
}

}  // namespace

void RunCrashSafety(const Options& options, Group& group, std::mt19937& random) {
  const int kills = options.full ? 400 : 40;
  const std::string original = DriverBoard(kBoardSize);
  const Layout layout(options, "crash-safety", original);
  // The two states the kills go between; 301 first, so that 200 keeps TYPE_SUB=301.
  const std::string state_301 = BoardState(original, 300, 301);
  const std::string state_200 = BoardState(original, 200, 301);
  const auto state_of = [&](int model) { return model == 301 ? state_301 : state_200; };

  // How long a whole write takes, so that the kills fall anywhere from start-up to the rename.
  std::vector<long> durations;
  int current = 200;
  for (int i = 0; i < 6; ++i) {
    current = Other(current);
    const std::string what = "calibration " + std::to_string(i);
    const RunOutcome outcome = layout.Run({std::to_string(current)});
    ++group.tally.cases;
    if (group.CheckRun(what, outcome)) {
      group.Expect(outcome.exit_status == 0 && outcome.err.empty(), what, outcome.err);
    }
    group.CheckFile(what, layout.board, {state_of(current)});
    durations.push_back(static_cast<long>(outcome.duration.count()));
  }
  std::sort(durations.begin(), durations.end());
  const long typical_us = durations[durations.size() / 2];
  std::uniform_int_distribution<long> delay(0, typical_us * 13 / 10);

  int killed = 0;
  int leftovers = 0;
  for (int i = 0; i < kills; ++i) {
    const std::string what = "kill " + std::to_string(i);
    const int target = Other(current);
    RunRequest request = layout.Request({std::to_string(target)});
    request.kill_after = std::chrono::microseconds(delay(random));
    const RunOutcome outcome = Run(request);
    ++group.tally.cases;
    if (!group.CheckRun(what, outcome)) {
      continue;
    }
    if (outcome.killed_by_us) {
      ++killed;
      ++group.tally.faults;
    } else {
      group.Expect(outcome.exit_status == 0 && outcome.err.empty(), what, outcome.err);
    }
    if (!group.CheckFile(what, layout.board, {state_of(current), state_of(target)})) {
      break;  // the states no longer follow; later kills would only repeat the finding
    }
    if (ReadFile(layout.board) == state_of(target)) {
      current = target;
    }
    if (Temporaries(layout.data).empty()) {
      continue;
    }
    // The next write that runs to its end takes the killed writer's temporary away.
    ++leftovers;
    current = Other(current);
    const RunOutcome next = layout.Run({std::to_string(current)});
    ++group.tally.cases;
    if (group.CheckRun(what + ", next write", next)) {
      group.Expect(next.exit_status == 0, what + ", next write", next.err);
    }
    group.CheckFile(what + ", next write", layout.board, {state_of(current)});
    group.Expect(Temporaries(layout.data).empty(), what + ", next write",
                 "a temporary file is still there: " + ListFolder(layout.data));
  }
  group.Expect(ListFolder(layout.data) == "VENTREL_DLL.INI VentrelConf.ini", "final folder",
               ListFolder(layout.data));
  std::printf(
      "  crash safety: %d kills during a run of about %ld ms on a %zu-byte board file; "
      "%d left a temporary file, each gone after the next write\n",
      killed, typical_us / 1000, original.size(), leftovers);
  RemoveTree(layout.base);
}

}  // namespace ventrel::reliability
