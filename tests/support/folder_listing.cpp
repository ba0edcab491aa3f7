#include "support/folder_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace ventrel::test {

std::string ListFolder(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(path, ignored)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& name : names) {
    out += (out.empty() ? "" : " ") + name;
  }
  return out;
}

}  // namespace ventrel::test
