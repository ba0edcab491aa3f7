// The root rules of POSIX systems.
#include <gtest/gtest.h>

#include "utility/platform/path.h"

namespace ventrel {
namespace {

TEST(PathPosixTest, OneRoot) {
  EXPECT_EQ(PathFolderPart("/VENTREL_DLL.INI"), "/");
  EXPECT_EQ(PathFolderPart("/"), "/");
  EXPECT_EQ(PathAppend("/", "opt"), "/opt");
  EXPECT_EQ(PathRootLength("/opt"), 1u);
  EXPECT_EQ(PathRootLength("opt"), 0u);
}

TEST(PathPosixTest, PathsEqualIgnoringAsciiCaseAlone) {
  EXPECT_TRUE(PathsEqualIgnoringCase("/opt/Dremont/X", "/OPT/dremont/x"));
  EXPECT_FALSE(PathsEqualIgnoringCase("/opt/\xC5\x81", "/opt/\xC5\x82"));  // as it always was
}

TEST(PathPosixTest, BackslashIsAnOrdinaryCharacter) {
  EXPECT_FALSE(IsPathSeparator('\\'));
  EXPECT_EQ(PathLastComponent("/opt/a\\b"), "a\\b");
}

}  // namespace
}  // namespace ventrel
