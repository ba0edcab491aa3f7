// The core's seam to where it runs: the executable's path and the folder roots the resolvers stand
// on. They are fixed for a build: one real implementation per platform, and a recorder in tests.
#pragma once

#include <string>
#include <vector>

namespace ventrel {

struct PlatformFolders {
  virtual ~PlatformFolders() = default;
  // Full path of the running executable; empty when it cannot be determined.
  virtual std::string ExePath() const = 0;
  // Roots of the installed layout, in the order they are tried: every programs folder of the
  // system (64-bit Windows has two, and a 32-bit installer uses the second); none when unknown.
  virtual std::vector<std::string> ProgramsFolders() const = 0;
  // Root of the installed layout's data (the per-user application-data folder); empty when unknown.
  virtual std::string AppDataFolder() const = 0;
  // Root of the local layout; empty when unknown.
  virtual std::string LocalBaseFolder() const = 0;
};

// The folders the core stands on: the real ones, unless a test put a recorder in their place.
const PlatformFolders& CurrentFolders();

// The real folders of this build.
const PlatformFolders& RealFolders();

// Puts `folders` in place of the real ones (nullptr restores them) and returns what was in place:
// tests do, and the per-user step, which answers for the program installed beside it.
const PlatformFolders* SubstituteFolders(const PlatformFolders* folders);

// The application's name, the caption of every box: the executable's file name without extension.
std::string ApplicationName();

}  // namespace ventrel
