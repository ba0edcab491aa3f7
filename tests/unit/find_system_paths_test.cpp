#include "locator/find_system_paths.h"

#include <gtest/gtest.h>

#include "support/recording_platform.h"
#include "support/temp_dir.h"

namespace ventrel {
namespace {

class FindSystemPathsTest : public testing::Test {
 protected:
  FindSystemPathsTest() {
    // As on 64-bit Windows: the 64-bit programs folder, then the one 32-bit installers use.
    platform_.programs_folders = {dir_.Path("programs"), dir_.Path("programs-x86")};
    platform_.app_data_folder = dir_.Path("appdata");
    platform_.local_base_folder = dir_.Path("local");
  }

  // The executable installed in a brand's product folder, with its data in place.
  std::string Install(const Brand& brand, const std::string& exe_name = "VentrelConf",
                      std::size_t programs_folder = 0) {
    const std::string product =
        std::string(brand.brand_folder) + "/" + std::string(brand.product_folder);
    const std::string exe = test::Native(platform_.programs_folders.at(programs_folder) + "/" +
                                         product + "/" + exe_name);
    test::WriteFile(exe, "exe");
    return exe;
  }

  void AddAppData(const Brand& brand, const std::string& ini_name = "VentrelConf.ini") {
    test::WriteFile(test::Native(platform_.app_data_folder + "/" + std::string(brand.brand_folder) +
                                 "/" + std::string(brand.product_folder) + "/" + ini_name),
                    "");
  }

  // The executable run from the local base folder.
  void RunLocally(const std::string& exe_name = "VentrelConf") {
    platform_.exe_path = test::Native(platform_.local_base_folder + "/" + exe_name);
    test::WriteFile(platform_.exe_path, "exe");
  }

  std::string LocalProduct(const Brand& brand) {
    return test::Native(platform_.local_base_folder + "/" + std::string(brand.product_folder));
  }

  void WriteMarker(const Brand& brand, const std::string& content,
                   const std::string& ini_name = "VentrelConf.ini") {
    test::WriteFile(test::Native(LocalProduct(brand) + "/" + ini_name), content);
  }

  test::TempDir dir_;
  test::RecordingPlatform platform_;
  std::string data_folder_ = "as given";
};

TEST_F(FindSystemPathsTest, InstalledLayoutOfEachBrandUnderEitherProgramsFolder) {
  for (const std::size_t folder : {0u, 1u}) {
    for (const Brand& brand : BrandTable) {
      platform_.exe_path = Install(brand, "VentrelConf", folder);
      AddAppData(brand);
      EXPECT_EQ(FindSystemPaths(data_folder_), brand.installed)
          << brand.brand_folder << " under " << platform_.programs_folders[folder];
      EXPECT_EQ(data_folder_,
                test::Native(platform_.app_data_folder + "/" + std::string(brand.brand_folder) +
                             "/" + std::string(brand.product_folder)));
    }
  }
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(FindSystemPathsTest, EachRowTriesEveryProgramsFolderBeforeTheNextRow) {
  const struct {
    const char* name;
    std::size_t running_row, running_folder;
    std::vector<std::pair<std::size_t, std::size_t>> other_copies;  // row, folder
    InstallLayout expected;
  } cases[] = {
      {"32-bit copy running, 64-bit copy beside it", 0, 1, {{0, 0}}, 1},
      {"64-bit copy running, 32-bit copy beside it", 0, 0, {{0, 1}}, 1},
      {"earlier rows installed in the other folder", 2, 1, {{0, 0}, {1, 0}, {2, 0}}, 5},
      {"32-bit only, second row", 1, 1, {}, 3},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    platform_.programs_folders = {dir.Path("programs"), dir.Path("programs-x86")};
    for (const auto& [row, folder] : c.other_copies) {
      Install(BrandTable[row], "VentrelConf", folder);
    }
    platform_.exe_path = Install(BrandTable[c.running_row], "VentrelConf", c.running_folder);
    AddAppData(BrandOf(c.expected));
    EXPECT_EQ(FindSystemPaths(data_folder_), c.expected) << c.name;
  }
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(FindSystemPathsTest, InstalledPathThatDiffersOnlyInCaseIsInstalled) {
  Install(BrandTable[0]);
  AddAppData(BrandTable[0]);
  // On a file system that folds case this is the same file; here it takes a second copy.
  platform_.exe_path =
      test::Native(platform_.programs_folders[0] + "/DREMONT/zorvik - lan panoramic/VentrelConf");
  test::WriteFile(platform_.exe_path, "exe");
  EXPECT_EQ(FindSystemPaths(data_folder_), 1);
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(FindSystemPathsTest, InstalledElsewhereFallsThroughToTheLocalCheck) {
  Install(BrandTable[0]);
  AddAppData(BrandTable[0]);
  RunLocally();
  WriteMarker(BrandTable[2], "[Model]\nManufacturer=Celdrin Imaging\n");
  EXPECT_EQ(FindSystemPaths(data_folder_), 4);
  EXPECT_EQ(data_folder_, LocalProduct(BrandTable[2]));
}

TEST_F(FindSystemPathsTest, LocalLayoutFromEachRowsOwnMarker) {
  const struct {
    const char* name;
    std::string markers[3];  // marker content per row; empty for no file
    InstallLayout expected;
  } cases[] = {
      {"dremont", {"[Model]\nManufacturer=Dremont\n", "", ""}, 0},
      {"marvello_any_case", {"", "[model]\nMANUFACTURER=mARVELLO\n", ""}, 2},
      {"celdrin", {"", "", "[Model]\nManufacturer=Celdrin Imaging\n"}, 4},
      {"first_row_that_matches_wins",
       {"[Model]\nManufacturer=Dremont\n", "[Model]\nManufacturer=Marvello\n", ""},
       0},
      {"row_one_naming_another_brand",
       {"[Model]\nManufacturer=Marvello\n", "[Model]\nManufacturer=Marvello\n", ""},
       2},
      {"markers_with_wrong_values",
       {"[Model]\nManufacturer=Marvello\n", "[Model]\nManufacturer=Dremont\n", "[Model]\n"},
       0},
      {"key_in_another_section", {"", "[Other]\nManufacturer=Marvello\n", ""}, 0},
      {"no_markers", {"", "", ""}, 0},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    platform_.local_base_folder = dir.Path("local");
    RunLocally();
    for (std::size_t row = 0; row < BrandTable.size(); ++row) {
      if (!c.markers[row].empty()) {
        WriteMarker(BrandTable[row], c.markers[row]);
      }
    }
    WriteMarker(BrandOf(c.expected), c.markers[c.expected / 2]);  // the data folder's catalogue
    platform_.messages.clear();
    EXPECT_EQ(FindSystemPaths(data_folder_), c.expected) << c.name;
    EXPECT_EQ(data_folder_, LocalProduct(BrandOf(c.expected))) << c.name;
    EXPECT_TRUE(platform_.messages.empty()) << c.name;
  }
}

TEST_F(FindSystemPathsTest, MissingDataFolderEmptiesItAndSaysWhichFile) {
  RunLocally();
  EXPECT_EQ(FindSystemPaths(data_folder_), 0);
  EXPECT_EQ(data_folder_, "");
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{"File VentrelConf.ini not found!"});
  EXPECT_EQ(platform_.messages.at(0).caption, "VentrelConf");
  EXPECT_EQ(platform_.messages.at(0).icon, MessageIcon::kError);

  platform_.messages.clear();
  platform_.exe_path = Install(BrandTable[1]);
  EXPECT_EQ(FindSystemPaths(data_folder_), 3) << "the layout is still returned";
  EXPECT_EQ(data_folder_, "");
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{"File VentrelConf.ini not found!"});
}

TEST_F(FindSystemPathsTest, LocalFailureIsTheOnlyMessage) {
  platform_.exe_path = dir_.Path("nowhere/VentrelConf");  // not in the local base folder
  EXPECT_EQ(FindSystemPaths(data_folder_), 0);
  EXPECT_EQ(data_folder_, "as given");
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{"Error in CAppTest::FindSystemPaths -> " +
                                                        dir_.Path("nowhere/VentrelConf")});
  platform_.messages.clear();
  platform_.local_base_folder = "";
  EXPECT_EQ(FindSystemPaths(data_folder_), 0);
  EXPECT_EQ(platform_.messages.size(), 1u);
}

TEST_F(FindSystemPathsTest, OtherExecutableNameChangesEveryAnchor) {
  platform_.exe_path = Install(BrandTable[2], "Other.exe");
  AddAppData(BrandTable[2], "Other.ini");
  EXPECT_EQ(FindSystemPaths(data_folder_), 5);
  EXPECT_TRUE(platform_.messages.empty());

  test::TempDir dir;
  platform_.local_base_folder = dir.Path("local");
  RunLocally("Other.exe");
  WriteMarker(BrandTable[1], "[Model]\nManufacturer=Marvello\n", "VentrelConf.ini");
  WriteMarker(BrandTable[0], "", "Other.ini");
  EXPECT_EQ(FindSystemPaths(data_folder_), 0) << "VentrelConf.ini is no marker for Other.exe";
  WriteMarker(BrandTable[1], "[Model]\nManufacturer=Marvello\n", "Other.ini");
  EXPECT_EQ(FindSystemPaths(data_folder_), 2);
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{}) << "Other.ini was there each time";
}

}  // namespace
}  // namespace ventrel
