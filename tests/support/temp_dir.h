// A folder of the test's own under the system's temporary folder, removed with everything in it.
#pragma once

#include <string>

#include "support/folder_listing.h"

namespace ventrel::test {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::string& path() const { return path_; }
  // `relative` joined to the folder, with the platform's separators.
  std::string Path(const std::string& relative) const;

 private:
  std::string path_;
};

// `path` with the platform's separator in place of every '/'.
std::string Native(std::string path);

// Writes `content` to `path`, creating the folders on the way.
void WriteFile(const std::string& path, const std::string& content);
// The file's bytes; "<missing>" when it cannot be read.
std::string ReadFile(const std::string& path);
void MakeFolders(const std::string& path);
bool Exists(const std::string& path);
void RemoveFile(const std::string& path);
// Takes every write permission away (on Windows: sets the read-only attribute).
void MakeReadOnly(const std::string& path);

}  // namespace ventrel::test
