// File test and the three folder resolvers the locator stands on. Each resolver joins the
// relative path to its root and succeeds when the root is known and the resolved file exists.
#pragma once

#include <string>
#include <string_view>

namespace ventrel {

class CSdkUtil {
 public:
  CSdkUtil() = delete;

  // True when the file exists.
  static bool Exist(const std::string& path);

  // Resolves under the system's programs folder (the installed layout).
  static bool ProgramFiles(std::string_view relative, std::string& out);

  // Resolves under the local base folder (the local layout).
  static bool Local(std::string_view relative, std::string& out);

  // Resolves under the per-user application-data folder (the installed layout's data).
  static bool AppData(std::string_view relative, std::string& out);
};

}  // namespace ventrel
