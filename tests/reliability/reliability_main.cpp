// The reliability run: crash safety, concurrency, storage faults, encodings and sizes, unsafe
// paths, each against the built program, and power loss over a file system in memory; a table of
// what was tried and what was lost.
//   ventrel_reliability --exe PATH --writer PATH --peak PATH [--full] [--seed N] [--work DIR]
//   [--only GROUP]
// Exit status 0 only when no byte was lost, nothing crashed and every check held.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "reliability/suite.h"

namespace ventrel::reliability {
namespace {

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--full") {
      options.full = true;
    } else if (arg == "--exe" && has_value) {
      options.exe = argv[++i];
    } else if (arg == "--writer" && has_value) {
      options.writer = argv[++i];
    } else if (arg == "--only" && has_value) {
      options.only = argv[++i];
    } else if (arg == "--peak" && has_value) {
      options.peak = argv[++i];
    } else if (arg == "--work" && has_value) {
      options.work = argv[++i];
    } else if (arg == "--seed" && has_value) {
      options.seed = static_cast<unsigned>(std::stoul(argv[++i]));
    } else {
      return false;
    }
  }
  return !options.exe.empty() && !options.writer.empty() && !options.peak.empty();
}

void PrintRow(const char* name, const Tally& t, const char* result) {
  std::printf("%-22s %7ld %7ld %7ld %11lld %8ld %7ld  %s\n", name, t.cases, t.faults, t.files,
              t.bytes_lost, t.crashes, t.failures, result);
}

}  // namespace
}  // namespace ventrel::reliability

int main(int argc, char** argv) {
  using namespace ventrel::reliability;
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s --exe PATH --writer PATH --peak PATH [--full] [--seed N] [--work DIR] "
                 "[--only GROUP]\n",
                 argv[0]);
    return 2;
  }
  options.exe = std::filesystem::absolute(options.exe).string();
  options.writer = std::filesystem::absolute(options.writer).string();
  options.peak = std::filesystem::absolute(options.peak).string();
  const bool own_work = options.work.empty();
  if (own_work) {
    // Under the system's temporary folder, open to an unprivileged user, who runs some cases.
    std::string pattern = (std::filesystem::temp_directory_path() / "ventrel-rel-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      return 2;
    }
    options.work = pattern;
  }
  MakeFolders(options.work);
  ::chmod(options.work.c_str(), 0755);
  std::mt19937 random(options.seed);
  std::printf("reliability run (%s, seed %u) in %s\n", options.full ? "full" : "short",
              options.seed, options.work.c_str());

  struct Entry {
    const char* name;
    void (*run)(const Options&, Group&, std::mt19937&);
  };
  const Entry entries[] = {
      {"crash safety (SIGKILL)", RunCrashSafety}, {"concurrency", RunConcurrency},
      {"storage faults", RunStorageFaults},       {"encodings and sizes", RunEncodingsAndSizes},
      {"unsafe paths", RunUnsafePaths},           {"power loss", RunPowerLoss},
  };
  std::vector<Group> groups;
  for (const Entry& entry : entries) {
    if (!std::string(entry.name).starts_with(options.only)) {
      continue;
    }
    const auto started = std::chrono::steady_clock::now();
    Group& group = groups.emplace_back(entry.name);
    entry.run(options, group, random);
    std::printf("  %s: %.1f s\n", entry.name,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    std::fflush(stdout);
  }

  std::printf("\n%-22s %7s %7s %7s %11s %8s %7s  %s\n", "group", "cases", "faults", "files",
              "bytes lost", "crashes", "failed", "result");
  Tally total;
  std::size_t failed_cases = 0;
  for (const Group& group : groups) {
    const Tally& t = group.tally;
    const bool ok = t.bytes_lost == 0 && t.crashes == 0 && t.failures == 0;
    PrintRow(group.name().c_str(), t, ok ? "ok" : "FAILED");
    total.cases += t.cases;
    total.faults += t.faults;
    total.files += t.files;
    total.bytes_lost += t.bytes_lost;
    total.crashes += t.crashes;
    total.failures += t.failures;
    failed_cases += group.FailedCases();
  }
  const bool ok = total.bytes_lost == 0 && total.crashes == 0 && total.failures == 0;
  PrintRow("total", total, ok ? "ok" : "FAILED");
  for (const Group& group : groups) {
    for (const std::string& skipped : group.skipped) {
      std::printf("skipped: %s / %s\n", group.name().c_str(), skipped.c_str());
    }
  }
  if (own_work) {
    RemoveTree(options.work);
  }
  std::printf("reliability: %ld passed, %zu failed\n",
              total.cases - static_cast<long>(failed_cases), failed_cases);
  return ok ? 0 : 1;
}
