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

}  // namespace
}  // namespace ventrel::e2e
