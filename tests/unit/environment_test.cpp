#include "utility/platform/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace ventrel {
namespace {

TEST(EnvironmentTest, UnsetAndEmptyReadAlike) {
  ::setenv("VENTREL_TEST_VARIABLE", "wayland-0", 1);
  EXPECT_EQ(EnvironmentValue("VENTREL_TEST_VARIABLE"), "wayland-0");
  ::setenv("VENTREL_TEST_VARIABLE", "", 1);
  EXPECT_EQ(EnvironmentValue("VENTREL_TEST_VARIABLE"), "");
  ::unsetenv("VENTREL_TEST_VARIABLE");
  EXPECT_EQ(EnvironmentValue("VENTREL_TEST_VARIABLE"), "");
}

}  // namespace
}  // namespace ventrel
