#include "app/ventrel_conf.h"

#include <gtest/gtest.h>

#include "config/ventrel_conf_dlg.h"
#include "support/recording_platform.h"
#include "support/temp_dir.h"

namespace ventrel {
namespace {

// Stands in for a window front end: records that the dialog ran and what it saw.
class RecordingHost final : public DialogHost {
 public:
  explicit RecordingHost(const test::RecordingPlatform& platform) : platform_(platform) {}
  bool OpenWindows() override {
    ++opens;
    return windows_available;
  }
  bool RunModal(CVentrelConfDlg& dialog) override {
    ++runs;
    messages_before_run = platform_.messages.size();
    current_model = dialog.ReadCurrentModel();
    return dialog_created;
  }
  bool windows_available = true;
  bool dialog_created = true;
  int opens = 0;
  int runs = 0;
  std::size_t messages_before_run = 0;
  ModelCode current_model = kNoModel;

 private:
  const test::RecordingPlatform& platform_;
};

class StartUpTest : public testing::Test {
 protected:
  StartUpTest() {
    platform_.local_base_folder = dir_.Path("local");
    platform_.exe_path = dir_.Path("local/VentrelConf");
    test::WriteFile(platform_.exe_path, "exe");
    test::WriteFile(Catalogue(), "[Model]\nManufacturer=Dremont\n");
  }
  std::string Board() const { return dir_.Path("local/Zorvik - LAN PANORAMIC/VENTREL_DLL.INI"); }
  std::string Catalogue() const {
    return dir_.Path("local/Zorvik - LAN PANORAMIC/VentrelConf.ini");
  }

  test::TempDir dir_;
  test::RecordingPlatform platform_;
  RecordingHost host_{platform_};
  CVentrelConf application_;
};

TEST_F(StartUpTest, ArgumentsPickTheMode) {
  const struct {
    std::vector<std::string> arguments;
    bool interactive;
    const char* board_after;
    int status;
  } cases[] = {
      {{}, true, "[BOARD]\nTYPE=200\n", 0},
      {{"301"}, false, "[BOARD]\nTYPE=300\nTYPE_SUB=301\n", 0},
      {{"200", "300"}, false, "[BOARD]\nTYPE=200\n", 0},
      {{"/Register", "300"}, false, "[BOARD]\nTYPE=300\nTYPE_SUB=300\n", 0},
      {{"-200"}, true, "[BOARD]\nTYPE=200\n", 0},
      {{" -5"}, false, "[BOARD]\nTYPE=200\n", 1},
      {{" -1"}, true, "[BOARD]\nTYPE=200\n", 0},
      {{"", "300"}, false, "[BOARD]\nTYPE=300\nTYPE_SUB=300\n", 0},
      {{"300abc"}, false, "[BOARD]\nTYPE=300\nTYPE_SUB=300\n", 0},
      {{"abc"}, true, "[BOARD]\nTYPE=200\n", 0},
      {{"250"}, false, "[BOARD]\nTYPE=200\n", 1},
      {{"0x12c"}, false, "[BOARD]\nTYPE=200\n", 1},
      {{"4294967596"}, false, "[BOARD]\nTYPE=200\n", 1},
  };
  for (const auto& c : cases) {
    test::WriteFile(Board(), "[BOARD]\nTYPE=200\n");
    host_.runs = 0;
    platform_.messages.clear();
    const std::string label = c.arguments.empty() ? "<none>" : c.arguments.front();
    EXPECT_EQ(application_.InitInstance(c.arguments, &host_), c.status) << label;
    EXPECT_EQ(host_.runs, c.interactive ? 1 : 0) << label;
    EXPECT_EQ(test::ReadFile(Board()), c.board_after) << label;
    const bool refused = c.status != 0;
    EXPECT_EQ(platform_.Texts(),
              refused ? std::vector<std::string>{"Error: CUsbConfDlg::SetModel improper value!"}
                      : std::vector<std::string>{})
        << label;
  }
}

TEST_F(StartUpTest, ConfigurationIsOpenedBeforeEitherMode) {
  // No board file: its message comes first, then the silent write goes ahead and creates it.
  EXPECT_EQ(application_.InitInstance({"200"}, &host_), 0);
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{"File " + Board() + " not found !"});
  EXPECT_EQ(test::ReadFile(Board()), "[BOARD]\r\nTYPE=200\r\n");

  test::WriteFile(Board(), "[BOARD]\nTYPE=300\nTYPE_SUB=301\n");
  test::RemoveFile(Catalogue());
  platform_.messages.clear();
  EXPECT_EQ(application_.InitInstance({}, &host_), 0);
  EXPECT_EQ(host_.runs, 1);
  EXPECT_EQ(host_.messages_before_run, 2u) << "the opening's messages come before the dialog";
  EXPECT_EQ(host_.current_model, kNoModel) << "without a data folder nothing is read";
}

TEST_F(StartUpTest, WindowsAreOpenedForTheInteractiveModeOnly) {
  test::WriteFile(Board(), "[BOARD]\nTYPE=200\n");
  EXPECT_EQ(application_.InitInstance({"300"}, &host_), 0);
  EXPECT_EQ(host_.opens, 0) << "silent mode asks for no window";
  EXPECT_EQ(application_.InitInstance({}, &host_), 0);
  EXPECT_EQ(host_.opens, 1);
  EXPECT_EQ(host_.runs, 1);
}

TEST_F(StartUpTest, NoWindowsEndTheInteractiveModeBeforeTheOpening) {
  ::unlink(Catalogue().c_str());  // the opening would report it
  host_.windows_available = false;
  EXPECT_EQ(application_.InitInstance({}, &host_), CVentrelConf::kNoDialog);
  EXPECT_EQ(host_.runs, 0);
  EXPECT_TRUE(platform_.messages.empty()) << "nothing was opened";
  EXPECT_FALSE(test::Exists(Board()));
  // Silent mode does not ask for them, and runs.
  platform_.messages.clear();
  application_.InitInstance({"200"}, &host_);
  EXPECT_EQ(host_.opens, 1);
  EXPECT_FALSE(platform_.messages.empty());
}

TEST_F(StartUpTest, ADialogThatCannotBeCreatedIsNotASuccess) {
  test::WriteFile(Board(), "[BOARD]\nTYPE=200\n");
  host_.dialog_created = false;
  EXPECT_EQ(application_.InitInstance({}, &host_), CVentrelConf::kNoDialog);
  EXPECT_EQ(host_.runs, 1);
  EXPECT_EQ(test::ReadFile(Board()), "[BOARD]\nTYPE=200\n");
}

TEST_F(StartUpTest, WithoutAHostInteractiveModeOnlyOpens) {
  test::WriteFile(Board(), "[BOARD]\nTYPE=200\n");
  EXPECT_EQ(application_.InitInstance({}, nullptr), 0);
  EXPECT_EQ(test::ReadFile(Board()), "[BOARD]\nTYPE=200\n");
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(StartUpTest, FailedWriteGivesStatusOne) {
  test::RemoveFile(Catalogue());  // no data folder
  EXPECT_EQ(application_.InitInstance({"301"}, nullptr), 1);
  EXPECT_EQ(platform_.Texts().back(),
            "Error: the file " + test::Native("/VENTREL_DLL.INI") + " could not be written!");
}

}  // namespace
}  // namespace ventrel
