// Several instances writing different models into one board file at once, while another process
// keeps rewriting an unrelated section through the same library: afterwards the file holds one of
// the written models, the other section's last write, and every other byte of the driver's.
#include <cstdio>
#include <thread>

#include "reliability/suite.h"

namespace ventrel::reliability {
namespace {

constexpr std::size_t kBoardSize = 1 << 20;
constexpr int kInstances = 4;
constexpr int kModels[] = {200, 300, 301};

struct InstanceResult {
  std::vector<RunOutcome> runs;
};

}  // namespace

void RunConcurrency(const Options& options, Group& group, std::mt19937& random) {
  const int rounds = options.full ? 6 : 2;
  const int writes_each = options.full ? 25 : 8;
  const int counter_writes = options.full ? 150 : 40;
  long program_writes = 0;
  for (int round = 0; round < rounds; ++round) {
    const std::string what = "round " + std::to_string(round);
    const std::string original = DriverBoard(kBoardSize);
    const Layout layout(options, "concurrency", original);
    std::vector<InstanceResult> results(kInstances);
    std::vector<std::vector<int>> plans(kInstances);
    for (auto& plan : plans) {
      for (int i = 0; i < writes_each; ++i) {
        plan.push_back(kModels[random() % 3]);
      }
    }
    RunOutcome helper;
    std::thread helper_thread([&] {
      RunRequest request;
      request.argv = {
          options.writer, layout.board, "NETWORK", "COUNTER", std::to_string(counter_writes),
          "2000"};
      helper = Run(request);
    });
    std::vector<std::thread> instances;
    for (int n = 0; n < kInstances; ++n) {
      instances.emplace_back([&, n] {
        for (const int model : plans[n]) {
          results[n].runs.push_back(layout.Run({std::to_string(model)}));
        }
      });
    }
    for (std::thread& instance : instances) {
      instance.join();
    }
    helper_thread.join();

    group.tally.cases += 1;
    for (const InstanceResult& result : results) {
      for (const RunOutcome& run : result.runs) {
        ++group.tally.faults;  // a write that other writers contended with
        ++program_writes;
        if (group.CheckRun(what, run)) {
          group.Expect(run.exit_status == 0 && run.err.empty(), what, "an instance: " + run.err);
        }
      }
    }
    group.tally.faults += counter_writes;
    if (group.CheckRun(what + ", section writer", helper)) {
      group.Expect(helper.exit_status == 0, what, "the section writer: " + helper.err);
    }
    // TYPE_SUB keeps the last 3D model written, which a later 200 leaves in place.
    std::vector<std::string> allowed;
    for (const auto& [type, sub] : {std::pair{300, 300}, {300, 301}, {200, 300}, {200, 301}}) {
      allowed.push_back(BoardState(original, type, sub, counter_writes));
    }
    group.CheckFile(what, layout.board, allowed);
    group.Expect(Temporaries(layout.data).empty(), what,
                 "a temporary file is left: " + ListFolder(layout.data));
    RemoveTree(layout.base);
  }
  std::printf(
      "  concurrency: %d rounds of %d instances (%ld model writes) against %d section "
      "writes each round\n",
      rounds, kInstances, program_writes, counter_writes);
}

}  // namespace ventrel::reliability
