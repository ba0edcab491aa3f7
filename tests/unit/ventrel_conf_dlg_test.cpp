#include "config/ventrel_conf_dlg.h"

#include <gtest/gtest.h>

#include "support/recording_platform.h"
#include "support/temp_dir.h"
#include "utility/ini/file_encoding.h"
#include "utility/platform/code_page.h"

namespace ventrel {
namespace {

const char kFullCatalogue[] =
    "[Model]\r\nManufacturer=Dremont\r\n[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n"
    "[Ventrel3DV1]\r\nDISPLAY=Ventrel 3D v1\r\n[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D v2\r\n";

// A local Dremont layout in a temporary folder.
class ConfigTest : public testing::Test {
 protected:
  ConfigTest() {
    platform_.local_base_folder = dir_.Path("local");
    platform_.exe_path = dir_.Path("local/VentrelConf");
    test::WriteFile(platform_.exe_path, "exe");
  }

  std::string DataFile(const std::string& name) const {
    return dir_.Path("local/Zorvik - LAN PANORAMIC/" + name);
  }
  std::string Board() const { return DataFile("VENTREL_DLL.INI"); }
  std::string Catalogue() const { return DataFile("VentrelConf.ini"); }

  void Lay(const std::string& board, const std::string& catalogue = kFullCatalogue) {
    test::WriteFile(Catalogue(), catalogue);
    if (board != "<none>") {
      test::WriteFile(Board(), board);
    }
  }

  test::TempDir dir_;
  test::RecordingPlatform platform_;
};

TEST_F(ConfigTest, OpeningFindsBothFilesSilently) {
  Lay("[BOARD]\r\nTYPE=200\r\n");
  CVentrelConfDlg dialog;
  EXPECT_TRUE(platform_.messages.empty());
  EXPECT_EQ(dialog.ReadCurrentModel(), 200) << "read from the board file found";
  EXPECT_EQ(dialog.ReadDisplayNames().size(), 3u) << "read from the catalogue found";
}

TEST_F(ConfigTest, OpeningReportsAMissingBoardFileOnly) {
  Lay("<none>");
  CVentrelConfDlg dialog;
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{"File " + Board() + " not found !"});
  EXPECT_TRUE(dialog.ReadDisplayNames().empty()) << "no catalogue path, no list";
}

TEST_F(ConfigTest, OpeningReportsAMissingCatalogue) {
  test::WriteFile(Board(), "[BOARD]\nTYPE=200\n");
  test::WriteFile(dir_.Path("local/Zorvik - LAN PANORAMIC/VentrelConf.ini.bak"), "");
  // The locator finds no catalogue either, so its message comes first.
  CVentrelConfDlg dialog;
  EXPECT_EQ(platform_.Texts(), (std::vector<std::string>{
                                   "File VentrelConf.ini not found!",
                                   "File " + test::Native("/VENTREL_DLL.INI") + " not found !"}));
  // Without a data folder no write is tried, not even on the board file found.
  EXPECT_FALSE(dialog.SetModel(300));
  EXPECT_EQ(test::ReadFile(Board()), "[BOARD]\nTYPE=200\n");
}

TEST_F(ConfigTest, OpeningReportsAMissingCatalogueInAFoundDataFolder) {
  // Under another name the locator anchors on Other.ini; the catalogue keeps its fixed name.
  platform_.exe_path = dir_.Path("local/Other");
  test::WriteFile(platform_.exe_path, "exe");
  test::WriteFile(DataFile("Other.ini"), "");
  test::WriteFile(Board(), "[BOARD]\nTYPE=200\n");
  CVentrelConfDlg dialog;
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{"File " + Catalogue() + " not found !"});
  EXPECT_EQ(dialog.ReadCurrentModel(), 200);
  test::WriteFile(Catalogue(), kFullCatalogue);
  EXPECT_EQ(dialog.ReadDisplayNames().size(), 3u) << "the catalogue's path was kept";
}

TEST_F(ConfigTest, ReadCurrentModelFromEachBoardState) {
  const struct {
    const char* board;
    ModelCode expected;
  } cases[] = {
      {"[BOARD]\nTYPE=200\n", 200},
      {"[BOARD]\nTYPE=300\n", 300},
      {"[BOARD]\nTYPE=300\nTYPE_SUB=301\n", 301},
      {"[BOARD]\nTYPE_SUB=300\nTYPE=300\n", 300},
      {"[BOARD]\nTYPE=301\n", 300},
      {"[BOARD]\nTYPE=301\nTYPE_SUB=301\n", 301},
      {"[BOARD]\nTYPE=200\nTYPE_SUB=301\n", 200},
      {"[BOARD]\nTYPE=250\n", 250},
      {"[BOARD]\nTYPE=abc\n", 0},
      {"[BOARD]\nTYPE=4294967496\n", 200},  // as the driver reads it: modulo 2^32
      {"[BOARD]\nTYPE=\n", -1},
      {"[BOARD]\nOTHER=1\n", -1},
      {"[OTHER]\nTYPE=300\n", -1},
      {"", -1},
  };
  for (const auto& c : cases) {
    Lay(c.board);
    CVentrelConfDlg dialog;
    EXPECT_EQ(dialog.ReadCurrentModel(), c.expected) << c.board;
  }
}

TEST_F(ConfigTest, ReadDisplayNamesOffersWhatTheCatalogueNames) {
  using Entries = std::vector<std::pair<std::string, ModelCode>>;
  const struct {
    const char* name;
    const char* catalogue;
    Entries expected;
  } cases[] = {
      {"full",
       kFullCatalogue,
       {{"Ventrel 2D", 200}, {"Ventrel 3D v1", 300}, {"Ventrel 3D v2", 301}}},
      {"catalogue_order_is_ignored",
       "[Ventrel3DV2]\nDISPLAY=c\n[VentrelV1]\nDISPLAY=a\n[Ventrel3DV1]\nDISPLAY=b\n",
       {{"a", 200}, {"b", 300}, {"c", 301}}},
      {"echec_hides", "[VentrelV1]\nDISPLAY=ECHEC\n[Ventrel3DV1]\nDISPLAY=b\n", {{"b", 300}}},
      {"only_exact_echec_hides",
       "[VentrelV1]\nDISPLAY=echec\n[Ventrel3DV1]\nDISPLAY=ECHEC!\n[Ventrel3DV2]\nDISPLAY= ECHEC\n",
       {{"echec", 200}, {"ECHEC!", 300}}},
      {"empty_display_is_offered", "[VentrelV1]\nDISPLAY=\n", {{"", 200}}},
      {"missing_key_or_section", "[VentrelV1]\nNAME=x\n[Ventrel3DV2]\nDISPLAY=z\n", {{"z", 301}}},
      {"nothing", "[Model]\nManufacturer=Dremont\n", {}},
  };
  for (const auto& c : cases) {
    Lay("[BOARD]\nTYPE=200\n", c.catalogue);
    CVentrelConfDlg dialog;
    Entries got;
    for (const DisplayEntry& entry : dialog.ReadDisplayNames()) {
      got.emplace_back(entry.text, entry.code);
    }
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

// An installation whose tools write Unicode profiles leaves both files in UTF-16.
TEST_F(ConfigTest, Utf16FilesAreReadAndTheBoardFileStaysUtf16) {
  const auto utf16 = [](std::string_view text) {
    std::string bytes;
    EXPECT_TRUE(EncodeUtf16(text, FileEncoding::kUtf16Le, "", bytes));
    return "\xFF\xFE" + bytes;
  };
  Lay(utf16("[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n"),
      utf16("[VentrelV1]\r\nDISPLAY=Ventrel 2D \xE2\x80\x93 \xC3\xA9"
            "dition\r\n"));
  CVentrelConfDlg dialog;
  EXPECT_EQ(dialog.ReadCurrentModel(), 301);
  const std::vector<DisplayEntry> names = dialog.ReadDisplayNames();
  ASSERT_EQ(names.size(), 1u);
  std::string expected;  // in the program's own 8-bit text
  ASSERT_TRUE(
      NarrowFromUtf8("Ventrel 2D \xE2\x80\x93 \xC3\xA9"
                     "dition",
                     expected));
  EXPECT_EQ(names[0].text, expected);
  ASSERT_TRUE(dialog.SetModel(200));
  EXPECT_EQ(test::ReadFile(Board()), utf16("[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\n"));
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ConfigTest, SetModelWritesTypeAndSubType) {
  const struct {
    const char* board;
    ModelCode code;
    const char* expected;
  } cases[] = {
      {"[BOARD]\r\nTYPE=200\r\n", 301, "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n"},
      {"[BOARD]\r\nTYPE=200\r\n", 300, "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\n"},
      {"[BOARD]\nTYPE=300\nTYPE_SUB=301\n", 200, "[BOARD]\nTYPE=200\nTYPE_SUB=301\n"},
      {"[BOARD]\nTYPE_SUB=300\nTYPE=300\n", 301, "[BOARD]\nTYPE_SUB=301\nTYPE=300\n"},
      {"[NET]\nA=1\n", 200, "[NET]\nA=1\n[BOARD]\nTYPE=200\n"},
  };
  for (const auto& c : cases) {
    Lay(c.board);
    CVentrelConfDlg dialog;
    EXPECT_TRUE(dialog.SetModel(c.code));
    EXPECT_EQ(test::ReadFile(Board()), c.expected) << c.code;
  }
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ConfigTest, SetModelThenReadBackGivesTheModel) {
  Lay("[BOARD]\nTYPE=200\n");
  CVentrelConfDlg dialog;
  for (const ModelCode code : {301, 300, 200, 301}) {
    ASSERT_TRUE(dialog.SetModel(code));
    EXPECT_EQ(dialog.ReadCurrentModel(), code);
  }
}

TEST_F(ConfigTest, SetModelRefusesImproperCodes) {
  const std::string board = "[BOARD]\nTYPE=200\n";
  Lay(board);
  CVentrelConfDlg dialog;
  for (const ModelCode code : {-1, 0, 250, 299, 302, kImproperCode}) {
    platform_.messages.clear();
    EXPECT_FALSE(dialog.SetModel(code));
    EXPECT_EQ(platform_.Texts(),
              std::vector<std::string>{"Error: CUsbConfDlg::SetModel improper value!"});
    EXPECT_EQ(test::ReadFile(Board()), board);
  }
}

TEST_F(ConfigTest, SetModelReportsAFailedWrite) {
  const std::string board = "[BOARD]\nTYPE=200\n";
  Lay(board);
  test::MakeReadOnly(Board());
  CVentrelConfDlg dialog;
  EXPECT_FALSE(dialog.SetModel(301));
  EXPECT_EQ(platform_.Texts(),
            std::vector<std::string>{"Error: the file " + Board() +
                                     " could not be written! You do not have permission to "
                                     "change it or its folder."});
  EXPECT_EQ(test::ReadFile(Board()), board);
}

// Every reason the store can give, in the words the user reads; none where there is nothing the
// user could act upon. A copy kept beside the file is named whether the write went through or not.
TEST(WriteFailedMessageTest, AddsTheReasonInPlainWords) {
  const std::string failed = "Error: the file C:\\Data\\VENTREL_DLL.INI could not be written!";
  const std::string kept =
      " A copy of an earlier version of it, which another program may have written, is kept "
      "beside it under a name that starts with \".VENTREL_DLL.INI.vckept-\": compare the two, "
      "then remove the copy.";
  const struct {
    WriteResult written;
    std::string message;
  } cases[] = {
      {{WriteFailure::kOther}, failed},
      {{WriteFailure::kHeldOpen}, failed + " Another program holds it open."},
      {{WriteFailure::kNoPermission},
       failed + " You do not have permission to change it or its folder."},
      {{WriteFailure::kDiskFull}, failed + " The disk is full."},
      {{WriteFailure::kKeptChanging}, failed + " Another program kept changing it."},
      {{WriteFailure::kHeldOpen, true}, failed + " Another program holds it open." + kept},
      {{WriteFailure::kNone, true}, "The file C:\\Data\\VENTREL_DLL.INI was written." + kept},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WriteFailedMessage("C:\\Data\\VENTREL_DLL.INI", c.written), c.message)
        << static_cast<int>(c.written.failure) << c.written.kept_copy;
  }
}

TEST_F(ConfigTest, MissingBoardFileIsCreatedByTheWrite) {
  Lay("<none>");
  CVentrelConfDlg dialog;
  platform_.messages.clear();
  EXPECT_TRUE(dialog.SetModel(300));
  EXPECT_EQ(test::ReadFile(Board()), "[BOARD]\r\nTYPE_SUB=300\r\nTYPE=300\r\n");
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ConfigTest, WithoutDataFolderNothingIsReadOrWritten) {
  const std::string at_root = test::Native("/VENTREL_DLL.INI");
  const bool root_had_board = test::Exists(at_root);
  CVentrelConfDlg dialog;  // no product folder at all
  EXPECT_EQ(dialog.ReadCurrentModel(), kNoModel);
  platform_.messages.clear();
  EXPECT_FALSE(dialog.SetModel(200));
  EXPECT_EQ(platform_.Texts(),
            std::vector<std::string>{"Error: the file " + at_root + " could not be written!"});
  EXPECT_EQ(test::Exists(at_root), root_had_board);
}

}  // namespace
}  // namespace ventrel
