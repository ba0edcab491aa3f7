// File test and the three folder resolvers the locator stands on. Each resolver joins the
// relative path to its root and succeeds when the root is known and the resolved file exists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ventrel {

class CSdkUtil {
 public:
  CSdkUtil() = delete;

  // True when the file exists.
  static bool Exist(const std::string& path);

  // Resolves under each of the system's programs folders (the installed layout): `out` receives
  // every resolved file that exists, in the order the folders are tried.
  static bool ProgramFiles(std::string_view relative, std::vector<std::string>& out);

  // Resolves under the local base folder (the local layout).
  static bool Local(std::string_view relative, std::string& out);

  // Resolves under the per-user application-data folder (the installed layout's data).
  static bool AppData(std::string_view relative, std::string& out);
};

}  // namespace ventrel
