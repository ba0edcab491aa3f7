// Starting a program the way each fault needs it: as another user, under a file-size limit, killed
// after a delay, or given up on after a time-out; and what became of it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace ventrel::reliability {

struct RunRequest {
  std::vector<std::string> argv;  // argv[0] is the program's path
  // Runs as this user and group (and no other groups); needs root.
  std::optional<unsigned> uid;
  std::optional<unsigned> gid;
  // RLIMIT_FSIZE in bytes.
  std::optional<unsigned long long> file_size_limit;
  // SIGKILL after this delay, if the program still runs.
  std::optional<std::chrono::microseconds> kill_after;
  // A program still running after this is killed and counted as hung.
  std::chrono::seconds time_out{120};
};

struct RunOutcome {
  bool started = false;
  int exit_status = -1;  // when it exited
  int signal = 0;        // when a signal ended it
  bool killed_by_us = false;
  bool hung = false;
  std::string err;  // standard error (standard output goes to the same place)
  long max_rss_kb = 0;
  std::chrono::microseconds duration{0};

  // A crash: any end that we did not cause ourselves but the program's own statuses: 0 (written),
  // 1 (not written) and 2 (the dialog was asked for, but no window can be shown here).
  bool Crashed() const {
    return !started || hung || (signal != 0 && !killed_by_us) ||
           (signal == 0 && (exit_status < 0 || exit_status > 2));
  }
};

RunOutcome Run(const RunRequest& request);

}  // namespace ventrel::reliability
