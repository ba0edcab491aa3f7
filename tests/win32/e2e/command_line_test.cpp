// The edge cases of the command line, passed through the real Windows command line.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/machine.h"
#include "support/temp_dir.h"

namespace ventrel::e2e {
namespace {

const char kBoard[] = "[BOARD]\r\nTYPE=200\r\n";
const char k300[] = "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\n";
const char k301[] = "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n";
const char kImproper[] = "Error: CUsbConfDlg::SetModel improper value!";

TEST(CommandLineTest, ArgumentsPickTheModeAndTheModel) {
  const struct {
    const char* arguments;  // as they stand on the command line after the program's name
    bool interactive;
    const char* board_after;
    bool improper;
  } cases[] = {
      {"", true, kBoard, false},           {"301", false, k301, false},
      {"200 300", false, kBoard, false},   {"/Register 301", false, k301, false},
      {"-200", true, kBoard, false},       {"\" -5\"", false, kBoard, true},
      {"\" -1\"", true, kBoard, false},    {"\"\" 300", false, k300, false},
      {"300abc", false, k300, false},      {"abc", true, kBoard, false},
      {"250", false, kBoard, true},        {"0x12c", false, kBoard, true},
      {"\t 3\"0\"1 ", false, k301, false}, {"-Register /x \"\" 300 301", false, k300, false},
      {"4294967596", false, kBoard, true},
  };
  test::TempDir dir;
  const std::string exe = dir.Path("VentrelConf.exe");
  const std::string board = dir.Path("Zorvik - LAN PANORAMIC\\VENTREL_DLL.INI");
  InstallExe(exe);
  test::WriteFile(dir.Path("Zorvik - LAN PANORAMIC\\VentrelConf.ini"), Catalogue("x", "Dremont"));
  for (const auto& c : cases) {
    test::WriteFile(board, kBoard);
    auto process = Start(exe, c.arguments);
    const SilentRun run = RunToTheEnd(process);
    EXPECT_EQ(run.dialog_shown, c.interactive) << "[" << c.arguments << "]";
    if (run.dialog_shown) {
      uitest::PressKey(process.WaitForDialog(), VK_ESCAPE);
      DWORD code = 0;
      EXPECT_TRUE(process.WaitForExit(code)) << "[" << c.arguments << "]";
    } else {
      EXPECT_TRUE(run.ended) << "[" << c.arguments << "]";
      EXPECT_EQ(run.exit_code, c.improper ? 1u : 0u) << "[" << c.arguments << "]";
    }
    EXPECT_EQ(run.Texts(),
              c.improper ? std::vector<std::string>{kImproper} : std::vector<std::string>{})
        << "[" << c.arguments << "]";
    EXPECT_EQ(test::ReadFile(board), c.board_after) << "[" << c.arguments << "]";
  }
}

TEST(CommandLineTest, UnattendedRunsEndByThemselvesWithTheMessagesOnStandardError) {
  test::TempDir dir;
  const std::string exe = dir.Path("VentrelConf.exe");
  const std::string product = dir.Path("Zorvik - LAN PANORAMIC");
  const std::string board = product + "\\VENTREL_DLL.INI";
  InstallExe(exe);
  const std::string no_dialog =
      "VentrelConf: the dialog cannot be shown: no one can see this window station (a service or "
      "an unattended run). Give a model code (200, 300 or 301) to set the model without a "
      "window.\n";
  const struct {
    const char* arguments;
    bool data_folder;
    const char* board_before;  // nullptr: no board file, before and after
    unsigned long status;
    std::string standard_error;
    const char* board_after;
  } cases[] = {
      {"301", true, kBoard, 0, "", k301},
      {"250", true, kBoard, 1, std::string("VentrelConf: ") + kImproper + "\n", kBoard},
      {"300", true, nullptr, 0, "VentrelConf: File " + board + " not found !\n",
       "[BOARD]\r\nTYPE_SUB=300\r\nTYPE=300\r\n"},
      {"301", false, nullptr, 1,
       "VentrelConf: File VentrelConf.ini not found!\nVentrelConf: File \\VENTREL_DLL.INI not "
       "found !\nVentrelConf: Error: the file \\VENTREL_DLL.INI could not be written!\n",
       nullptr},
      {"", true, kBoard, 2, no_dialog, kBoard},
  };
  for (const auto& c : cases) {
    const std::string name = std::string("[") + c.arguments + "], " +
                             (c.data_folder ? "data folder" : "no data folder") + ", " +
                             (c.board_before != nullptr ? "board file" : "no board file");
    RemoveTree(product);
    if (c.data_folder) {
      test::WriteFile(product + "\\VentrelConf.ini", Catalogue("x", "Dremont"));
    }
    if (c.board_before != nullptr) {
      test::WriteFile(board, c.board_before);
    }
    const UnattendedRun run = RunUnattended(exe, c.arguments);
    ASSERT_TRUE(run.ended) << name << ": a box waits where no one can see it";
    EXPECT_EQ(run.exit_code, c.status) << name;
    EXPECT_EQ(run.standard_error, c.standard_error) << name;
    if (c.board_after != nullptr) {
      EXPECT_EQ(test::ReadFile(board), c.board_after) << name;
    } else {
      EXPECT_FALSE(test::Exists(board)) << name;
      EXPECT_EQ(test::ListFolder(dir.path()), "VentrelConf.exe") << name;
    }
  }
}

}  // namespace
}  // namespace ventrel::e2e
