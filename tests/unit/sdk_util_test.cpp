#include "utility/sdk_util.h"

#include <gtest/gtest.h>

#include "support/recording_platform.h"
#include "support/temp_dir.h"
#include "utility/platform/path.h"

namespace ventrel {
namespace {

using Resolver = bool (*)(std::string_view, std::string&);

// The programs folders' resolver seen as the others: its first resolved path.
bool FirstProgramFiles(std::string_view relative, std::string& out) {
  std::vector<std::string> all;
  const bool found = CSdkUtil::ProgramFiles(relative, all);
  out = found ? all.front() : std::string();
  return found;
}

struct ResolverCase {
  const char* name;
  Resolver resolve;
  std::string* (*root)(test::RecordingPlatform&);
};

class SdkUtilTest : public testing::TestWithParam<ResolverCase> {
 protected:
  test::TempDir dir_;
  test::RecordingPlatform platform_;
};

TEST_P(SdkUtilTest, ResolvesUnderItsOwnRootOnlyWhenTheFileExists) {
  const ResolverCase& c = GetParam();
  platform_.programs_folders = {dir_.Path("programs")};
  platform_.app_data_folder = dir_.Path("appdata");
  platform_.local_base_folder = dir_.Path("local");
  const std::string root = *c.root(platform_);
  test::WriteFile(test::Native(root + "/Dremont/VentrelConf.ini"), "");

  std::string out;
  EXPECT_TRUE(c.resolve(test::Native("Dremont/VentrelConf.ini"), out));
  EXPECT_EQ(out, test::Native(root + "/Dremont/VentrelConf.ini"));
  EXPECT_FALSE(c.resolve("Dremont/Absent.ini", out)) << "a missing file is a failure";
  EXPECT_FALSE(c.resolve("Dremont", out)) << "a folder is no file";

  *c.root(platform_) = "";
  EXPECT_FALSE(c.resolve("Dremont/VentrelConf.ini", out)) << "an unknown root is a failure";
}

INSTANTIATE_TEST_SUITE_P(
    Roots, SdkUtilTest,
    testing::Values(ResolverCase{"ProgramFiles", &FirstProgramFiles,
                                 [](test::RecordingPlatform& p) { return &p.programs_folders[0]; }},
                    ResolverCase{"AppData", &CSdkUtil::AppData,
                                 [](test::RecordingPlatform& p) { return &p.app_data_folder; }},
                    ResolverCase{"Local", &CSdkUtil::Local,
                                 [](test::RecordingPlatform& p) { return &p.local_base_folder; }}),
    [](const testing::TestParamInfo<ResolverCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(ProgramFilesTest, ResolvesUnderEveryProgramsFolderInTheirOrder) {
  test::TempDir dir;
  test::RecordingPlatform platform;
  platform.programs_folders = {dir.Path("x64"), "", dir.Path("x86"), dir.Path("absent")};
  const std::string relative = test::Native("Dremont/VentrelConf.exe");
  test::WriteFile(test::Native(dir.Path("x86") + "/" + relative), "");
  std::vector<std::string> out{"stale"};
  EXPECT_TRUE(CSdkUtil::ProgramFiles(relative, out));
  EXPECT_EQ(out, std::vector<std::string>{test::Native(dir.Path("x86") + "/" + relative)});

  test::WriteFile(test::Native(dir.Path("x64") + "/" + relative), "");
  EXPECT_TRUE(CSdkUtil::ProgramFiles(relative, out));
  EXPECT_EQ(out, (std::vector<std::string>{test::Native(dir.Path("x64") + "/" + relative),
                                           test::Native(dir.Path("x86") + "/" + relative)}));

  platform.programs_folders.clear();
  EXPECT_FALSE(CSdkUtil::ProgramFiles(relative, out));
  EXPECT_TRUE(out.empty());
}

TEST(RealFoldersTest, LocalResolvesTheRunningExecutable) {
  // The real platform's local base is the executable's own folder, so the local layout is always
  // found for the executable's own name.
  const std::string exe = RealFolders().ExePath();
  ASSERT_FALSE(exe.empty());
  std::string out;
  EXPECT_TRUE(CSdkUtil::Local(PathLastComponent(exe), out));
  EXPECT_EQ(out, exe);
}

}  // namespace
}  // namespace ventrel
