// Several instances of the real program writing one board file at once, while another process
// of the same library keeps rewriting an unrelated section: under Wine, with Windows' own locks.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e/machine.h"
#include "support/temp_dir.h"
#include "utility/ini/ini.h"

namespace ventrel::e2e {
namespace {

// A product folder as installed, with the program beside it, a catalogue and a board file.
struct Product {
  explicit Product(const std::string& board_content) {
    InstallExe(exe);
    test::WriteFile(folder + "\\VentrelConf.ini", Catalogue("x", "Dremont"));
    test::WriteFile(board, board_content);
  }
  test::TempDir dir;
  std::string exe = dir.Path("VentrelConf.exe");
  std::string folder = dir.Path("Zorvik - LAN PANORAMIC");
  std::string board = folder + "\\VENTREL_DLL.INI";
};

// The board file after writers of ours and of others: its unrelated line kept, no temporary file
// left beside it. The model it holds, as "TYPE/TYPE_SUB" (-1 for a value that is missing).
std::string ModelAfterWriters(const Product& product) {
  const std::string& board = product.board;
  CIni ini;
  int port = 0;
  EXPECT_TRUE(ini.Donne(port, "UNIT_PORT", -1, "NETWORK", board));
  EXPECT_EQ(port, 5000);
  EXPECT_EQ(test::ListFolder(product.folder), "VENTREL_DLL.INI VentrelConf.ini")
      << "no temporary file may be left";
  int type = 0;
  int sub = 0;
  ini.Donne(type, "TYPE", -1, "BOARD", board);
  ini.Donne(sub, "TYPE_SUB", -1, "BOARD", board);
  return std::to_string(type) + "/" + std::to_string(sub);
}

TEST(ConcurrencyTest, InstancesAndAnotherWriterLoseNothing) {
  const Product product("[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\n");
  const std::string& exe = product.exe;
  const std::string& board = product.board;

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
  // One of the models written: 200 alone, or 300 with the version of a 3D write.
  const std::string model = ModelAfterWriters(product);
  EXPECT_TRUE(model.starts_with("200/") || model == "300/300" || model == "300/301") << model;
}

// The driver writes its board file through the profile functions, in place and without our lock,
// every 10 ms, while the program runs again and again in a window station no one sees: none of
// the driver's writes may be undone by a replacement of ours, and no other line is lost. A write
// of the driver's that finds our rename under way fails (it opens the file sharing nothing, and
// the rename holds the file for that instant): the driver is told, and those stay rare.
TEST(ConcurrencyTest, DriverWritesWithoutALockAreNeverUndone) {
  const Product product(
      "[NETWORK]\r\nUNIT_PORT=5000\r\n[Acq]\r\nCounter=0\r\n[BOARD]\r\nTYPE=200\r\n");
  const std::string& exe = product.exe;
  const std::string& board = product.board;

  constexpr int kDriverWrites = 1000;
  constexpr int kOurRuns = 50;
  std::atomic<int> runs{0};
  std::atomic<bool> driver_done{false};
  int undone = 0;
  int failed_writes = 0;
  int written = 0;
  // Each write is checked by the next one's read: a value below the last one written was put back
  // by a replacement of ours.
  std::thread driver([&] {
    for (int i = 1; i <= kDriverWrites || runs < kOurRuns; ++i) {
      char value[32] = {};
      ::GetPrivateProfileStringA("Acq", "Counter", "", value, sizeof value, board.c_str());
      if (std::atoi(value) < written) {
        ++undone;
      }
      if (::WritePrivateProfileStringA("Acq", "Counter", std::to_string(i).c_str(),
                                       board.c_str())) {
        written = i;
      } else {
        ++failed_writes;
      }
      ::Sleep(10);
    }
    driver_done = true;
  });

  // A run of ours may fail against such a writer, but says why ("... could not be written!
  // Another program kept changing it."), and few do: our failure is preferred to the driver's.
  const char* const models[] = {"300", "301"};
  std::string last_model;
  int failed_runs = 0;
  while (!driver_done) {
    const char* model = models[runs % 2];
    const UnattendedRun run = RunUnattended(exe, model);
    if (run.ended && run.exit_code == 0) {
      last_model = model;
    } else {
      ++failed_runs;
      EXPECT_TRUE(run.ended && run.exit_code == 1 &&
                  run.standard_error.find("could not be written! ") != std::string::npos)
          << "run " << runs << " ended " << run.ended << " with " << run.exit_code << ": "
          << run.standard_error;
    }
    ++runs;
  }
  driver.join();
  std::printf("driver: %d writes, %d undone, %d failed; ours: %d runs, %d failed\n", written,
              undone, failed_writes, runs.load(), failed_runs);

  EXPECT_EQ(undone, 0) << "driver writes undone, in " << runs << " runs of ours";
  EXPECT_LE(failed_writes, kDriverWrites / 100) << "our handles on the board file are momentary";
  EXPECT_LE(failed_runs * 10, runs.load()) << "more than one run of ours in ten failed";
  ASSERT_GE(runs, kOurRuns);
  CIni ini;
  int counter = 0;
  ASSERT_TRUE(ini.Donne(counter, "Counter", -1, "Acq", board));
  EXPECT_EQ(counter, written) << "the driver's last write was lost";
  EXPECT_EQ(ModelAfterWriters(product), "300/" + last_model)
      << "the board file ends as our last write";
}

}  // namespace
}  // namespace ventrel::e2e
