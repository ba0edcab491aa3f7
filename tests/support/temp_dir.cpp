#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "utility/platform/path.h"

namespace fs = std::filesystem;

namespace ventrel::test {

TempDir::TempDir() {
  // create_directory fails on a name that exists, so the folder found is ours alone.
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("ventrel-test-" + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = Native(fs::canonical(candidate).string());
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary folder";
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Read-only folders left by a test must not keep their contents from going.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string TempDir::Path(const std::string& relative) const {
  return Native(path_ + "/" + relative);
}

std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') {
      c = kPathSeparator;
    }
  }
  return path;
}

void WriteFile(const std::string& path, const std::string& content) {
  MakeFolders(fs::path(path).parent_path().string());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return "<missing>";
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MakeFolders(const std::string& path) {
  fs::create_directories(path);
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

void MakeReadOnly(const std::string& path) {
  std::error_code error;
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove, error);
  ASSERT_FALSE(error) << "cannot make " << path << " read-only";
}

}  // namespace ventrel::test
