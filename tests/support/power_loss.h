// Power loss at every step of a write: the write runs over the fake file system, cut after each
// step in turn; each disk the cut can leave is rebooted and checked, and written once more.
#pragma once

#include <string>
#include <vector>

#include "support/fake_file_system.h"

namespace ventrel::test {

// One way a write of the board file can go.
struct WritePath {
  std::string name;
  FakeFileSystem::Choices choices;
  bool exists = true;      // false: a new file
  bool utf16 = false;      // the board file in UTF-16
  bool unchanged = false;  // it already holds what is asked
  bool may_tear = false;   // the in-place fallback, which a crash can tear
  bool held_open = false;  // another program holds it open, sharing it for writing
  bool journal = false;    // written in place with a journal (Windows), mended by the next write
};

// The store's write paths: Linux exchange, Windows in place with a journal (also while another
// program holds the file open), no exchange, the in-place fallback of a folder that refuses new
// files, a new file on each system, UTF-16, a file already as asked.
std::vector<WritePath> WritePaths();

struct PowerLossReport {
  int cut_points = 0;
  long states = 0;
  long torn = 0;             // states that hold neither the old content nor the new
  long long bytes_lost = 0;  // of the old or new content, in states that may not tear
  std::vector<std::string> problems;
};

PowerLossReport ExplorePowerLoss(const WritePath& path);

}  // namespace ventrel::test
