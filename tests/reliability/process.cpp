#include "reliability/process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

extern char** environ;

namespace ventrel::reliability {
namespace {

using Clock = std::chrono::steady_clock;

// Only async-signal-safe calls between fork and exec: the suite forks from several threads.
[[noreturn]] void ExecChild(const RunRequest& request, char* const* argv, int err_fd) {
  ::dup2(err_fd, STDOUT_FILENO);
  ::dup2(err_fd, STDERR_FILENO);
  const int null_fd = ::open("/dev/null", O_RDONLY);
  ::dup2(null_fd, STDIN_FILENO);
  if (request.file_size_limit) {
    const rlimit limit{*request.file_size_limit, *request.file_size_limit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (request.gid && (::setgroups(0, nullptr) != 0 || ::setgid(*request.gid) != 0)) {
    ::_exit(126);
  }
  if (request.uid && ::setuid(*request.uid) != 0) {
    ::_exit(126);
  }
  ::execve(argv[0], argv, environ);
  ::_exit(127);
}

void ReadAvailable(int fd, std::string& sink, bool& open) {
  char buffer[4096];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n > 0) {
    sink.append(buffer, static_cast<std::size_t>(n));
  } else if (n == 0 || errno != EINTR) {
    open = false;
  }
}

}  // namespace

RunOutcome Run(const RunRequest& request) {
  RunOutcome outcome;
  std::vector<char*> argv;
  for (const std::string& arg : request.argv) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (request.argv.empty() || ::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return outcome;
  }
  const auto started = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipe_fds[0]);
    ExecChild(request, argv.data(), pipe_fds[1]);
  }
  ::close(pipe_fds[1]);
  if (pid < 0) {
    ::close(pipe_fds[0]);
    return outcome;
  }
  outcome.started = true;
  const auto kill_at =
      request.kill_after ? started + *request.kill_after : Clock::time_point::max();
  const auto give_up_at = started + request.time_out;
  bool pipe_open = true;
  bool kill_sent = false;
  int wait_status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = ::wait4(pid, &wait_status, WNOHANG, &usage);
    if (done == pid) {
      break;
    }
    auto now = Clock::now();
    if (!kill_sent && kill_at - now < std::chrono::milliseconds(2)) {
      std::this_thread::sleep_until(kill_at);  // the moment matters more than the pipe here
      now = Clock::now();
    }
    if (!kill_sent && now >= kill_at) {
      ::kill(pid, SIGKILL);
      kill_sent = true;
    }
    if (!kill_sent && now >= give_up_at) {
      ::kill(pid, SIGKILL);
      kill_sent = true;
      outcome.hung = true;
    }
    // Short waits keep the kill close to its moment; the pipe is drained meanwhile.
    const auto next = std::min(kill_sent ? give_up_at : std::min(kill_at, give_up_at),
                               now + std::chrono::milliseconds(2));
    const int wait_ms =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count());
    if (pipe_open) {
      pollfd fd{pipe_fds[0], POLLIN, 0};
      if (::poll(&fd, 1, std::max(wait_ms, 0)) > 0) {
        ReadAvailable(pipe_fds[0], outcome.err, pipe_open);
      }
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  outcome.duration = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
  while (pipe_open) {
    ReadAvailable(pipe_fds[0], outcome.err, pipe_open);
  }
  ::close(pipe_fds[0]);
  outcome.max_rss_kb = usage.ru_maxrss;
  if (WIFEXITED(wait_status)) {
    outcome.exit_status = WEXITSTATUS(wait_status);
  } else if (WIFSIGNALED(wait_status)) {
    outcome.signal = WTERMSIG(wait_status);
    outcome.killed_by_us = kill_sent && !outcome.hung && outcome.signal == SIGKILL;
  }
  return outcome;
}

}  // namespace ventrel::reliability
