// Runs a program and writes its peak resident memory (KB) to a file.
//   ventrel_peak_memory OUT_FILE PROGRAM ARGS...
// A child forked from the big suite would count the suite's own pages as its peak until it runs
// the program; forked from this small one, it counts only the program's. Exits as the program did.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUT_FILE PROGRAM ARGS...\n", argv[0]);
    return 2;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execv(argv[2], argv + 2);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
    return 126;
  }
  if (FILE* out = std::fopen(argv[1], "w")) {
    std::fprintf(out, "%ld\n", usage.ru_maxrss);
    std::fclose(out);
  }
  if (WIFSIGNALED(status)) {
    std::signal(WTERMSIG(status), SIG_DFL);
    ::raise(WTERMSIG(status));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 126;
}
