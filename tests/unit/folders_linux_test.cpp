// The real folders on Linux.
#include <gtest/gtest.h>

#include <cstdlib>

#include "utility/platform/folders.h"

namespace ventrel {
namespace {

TEST(RealFoldersTest, AppDataFollowsXdgConfigHome) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string saved_value = saved != nullptr ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/srv/config", 1);
  EXPECT_EQ(RealFolders().AppDataFolder(), "/srv/config");
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  const char* home = std::getenv("HOME");
  EXPECT_EQ(RealFolders().AppDataFolder(), std::string(home != nullptr ? home : "") + "/.config");
  if (saved != nullptr) {
    ::setenv("XDG_CONFIG_HOME", saved_value.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace ventrel
