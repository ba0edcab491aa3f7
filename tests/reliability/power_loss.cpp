// Power loss at every step of every write path, over the file system in memory: what a killed
// process cannot show, since the page cache survives it. No program is run.
#include <cstdio>

#include "reliability/suite.h"
#include "support/power_loss.h"

namespace ventrel::reliability {

void RunPowerLoss(const Options& /*options*/, Group& group, std::mt19937& /*random*/) {
  for (const test::WritePath& path : test::WritePaths()) {
    const test::PowerLossReport report = test::ExplorePowerLoss(path);
    group.tally.cases += report.cut_points;
    group.tally.faults += report.states;
    group.tally.files += report.states;
    group.tally.bytes_lost += report.bytes_lost;
    // The first few say what went wrong; the rest are counted.
    for (std::size_t i = 0; i < report.problems.size(); ++i) {
      if (i < 10) {
        group.Fail(path.name, report.problems[i]);
      } else {
        ++group.tally.failures;
      }
    }
    if (path.may_tear) {
      std::printf("  power loss: %s: %ld of %ld states torn, as documented\n", path.name.c_str(),
                  report.torn, report.states);
    }
  }
}

}  // namespace ventrel::reliability
