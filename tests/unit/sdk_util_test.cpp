#include "utility/sdk_util.h"

#include <gtest/gtest.h>

#include "support/recording_platform.h"
#include "support/temp_dir.h"
#include "utility/path.h"

namespace ventrel {
namespace {

using Resolver = bool (*)(std::string_view, std::string&);

struct ResolverCase {
  const char* name;
  Resolver resolve;
  std::string test::RecordingPlatform::*root;
};

class SdkUtilTest : public testing::TestWithParam<ResolverCase> {
 protected:
  test::TempDir dir_;
  test::RecordingPlatform platform_;
};

TEST_P(SdkUtilTest, ResolvesUnderItsOwnRootOnlyWhenTheFileExists) {
  const ResolverCase& c = GetParam();
  platform_.programs_folder = dir_.Path("programs");
  platform_.app_data_folder = dir_.Path("appdata");
  platform_.local_base_folder = dir_.Path("local");
  const std::string root = platform_.*c.root;
  test::WriteFile(test::Native(root + "/Dremont/VentrelConf.ini"), "");

  std::string out;
  EXPECT_TRUE(c.resolve(test::Native("Dremont/VentrelConf.ini"), out));
  EXPECT_EQ(out, test::Native(root + "/Dremont/VentrelConf.ini"));
  EXPECT_FALSE(c.resolve("Dremont/Absent.ini", out)) << "a missing file is a failure";
  EXPECT_FALSE(c.resolve("Dremont", out)) << "a folder is no file";

  platform_.*c.root = "";
  EXPECT_FALSE(c.resolve("Dremont/VentrelConf.ini", out)) << "an unknown root is a failure";
}

INSTANTIATE_TEST_SUITE_P(Roots, SdkUtilTest,
                         testing::Values(ResolverCase{"ProgramFiles", &CSdkUtil::ProgramFiles,
                                                      &test::RecordingPlatform::programs_folder},
                                         ResolverCase{"AppData", &CSdkUtil::AppData,
                                                      &test::RecordingPlatform::app_data_folder},
                                         ResolverCase{"Local", &CSdkUtil::Local,
                                                      &test::RecordingPlatform::local_base_folder}),
                         [](const testing::TestParamInfo<ResolverCase>& param_info) {
                           return std::string(param_info.param.name);
                         });

TEST(RealPlatformTest, LocalResolvesTheRunningExecutable) {
  // The real platform's local base is the executable's own folder, so the local layout is always
  // found for the executable's own name.
  const std::string exe = RealPlatform().ExePath();
  ASSERT_FALSE(exe.empty());
  std::string out;
  EXPECT_TRUE(CSdkUtil::Local(PathLastComponent(exe), out));
  EXPECT_EQ(out, exe);
}

}  // namespace
}  // namespace ventrel
