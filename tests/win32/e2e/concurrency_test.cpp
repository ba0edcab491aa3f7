// Several instances of the real program writing one board file at once, while another process
// of the same library keeps rewriting an unrelated section: under Wine, with Windows' own locks.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "e2e/machine.h"
#include "support/temp_dir.h"
#include "utility/ini/ini.h"

namespace ventrel::e2e {
namespace {

TEST(ConcurrencyTest, InstancesAndAnotherWriterLoseNothing) {
  test::TempDir dir;
  const std::string exe = dir.Path("VentrelConf.exe");
  const std::string product = dir.Path("Zorvik - LAN PANORAMIC");
  const std::string board = product + "\\VENTREL_DLL.INI";
  InstallExe(exe);
  test::WriteFile(product + "\\VentrelConf.ini", Catalogue("x", "Dremont"));
  test::WriteFile(board, "[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\n");

  // The other writer: this test process, through the same library, one section write after
  // another until the instances are done.
  std::atomic<bool> done{false};
  std::atomic<int> last_written{0};
  std::atomic<int> failed_writes{0};
  std::thread writer([&] {
    CIni ini;
    for (int i = 1; !done; ++i) {
      if (ini.Affecte(std::to_string(i), "COUNTER", "ACQUISITION", board)) {
        last_written = i;
      } else {
        ++failed_writes;
      }
    }
  });

  constexpr int kRounds = 3;
  const char* const models[] = {"200", "300", "301", "300"};
  for (int round = 0; round < kRounds; ++round) {
    std::vector<uitest::AppProcess> instances;
    for (const char* model : models) {
      instances.push_back(Start(exe, model));
    }
    for (auto& instance : instances) {
      const SilentRun run = RunToTheEnd(instance);
      ASSERT_TRUE(run.ended);
      EXPECT_EQ(run.exit_code, 0u) << "round " << round;
      EXPECT_EQ(run.Texts(), std::vector<std::string>{}) << "round " << round;
    }
  }
  done = true;
  writer.join();

  EXPECT_EQ(failed_writes, 0);
  ASSERT_GT(last_written, 0);
  CIni ini;
  int counter = 0;
  ASSERT_TRUE(ini.Donne(counter, "COUNTER", -1, "ACQUISITION", board));
  EXPECT_EQ(counter, last_written) << "the other writer's last write was lost";
  int port = 0;
  EXPECT_TRUE(ini.Donne(port, "UNIT_PORT", -1, "NETWORK", board));
  EXPECT_EQ(port, 5000);
  // One of the models written: 200 alone, or 300 with the version of a 3D write.
  int type = 0;
  int sub = 0;
  ASSERT_TRUE(ini.Donne(type, "TYPE", -1, "BOARD", board));
  ASSERT_TRUE(ini.Donne(sub, "TYPE_SUB", -1, "BOARD", board));
  EXPECT_TRUE(type == 200 || (type == 300 && (sub == 300 || sub == 301))) << type << "/" << sub;
  EXPECT_EQ(test::ListFolder(product), "VENTREL_DLL.INI VentrelConf.ini")
      << "no temporary file may be left";
}

}  // namespace
}  // namespace ventrel::e2e
