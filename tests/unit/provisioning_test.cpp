#include "provision/provisioning.h"

#include <gtest/gtest.h>

#include "support/recording_platform.h"
#include "support/temp_dir.h"

namespace ventrel {
namespace {

const char kMachineCatalogue[] = "[Model]\r\nManufacturer=Dremont\r\n[VentrelV1]\r\nDISPLAY=2D\r\n";
const char kUser[] = "S-1-5-21-1004336348-1177238915-682003330-1001";

class FakeSystem final : public ProvisioningSystem {
 public:
  std::string AccountSid() const override { return sid; }
  bool CreateFolders(const std::string& path) override {
    ++folders_created;
    test::MakeFolders(path);
    return test::Exists(path);
  }
  std::string sid = kUser;
  int folders_created = 0;
};

// Dremont installed under a programs folder, with the machine's copy beside the program, and one
// user's application data.
class ProvisioningTest : public testing::Test {
 protected:
  ProvisioningTest() {
    platform_.programs_folders = {dir_.Path("Program Files")};
    platform_.app_data_folder = dir_.Path("Users/ana/AppData");
    test::WriteFile(Installed("VentrelConf"), "exe");
    test::WriteFile(Installed("VentrelConfProvision"), "exe");
    test::WriteFile(Installed("Provisioning/VentrelConf.ini"), kMachineCatalogue);
    test::WriteFile(Installed("Provisioning/Provisioning.ini"), "[Provisioning]\r\nMODEL=301\r\n");
  }
  std::string Installed(const std::string& name) const {
    return dir_.Path("Program Files/Dremont/Zorvik - LAN PANORAMIC/" + name);
  }
  std::string Step() const { return Installed("VentrelConfProvision"); }
  std::string UserFile(const std::string& name) const {
    return dir_.Path("Users/ana/AppData/Dremont/Zorvik - LAN PANORAMIC/" + name);
  }

  test::TempDir dir_;
  test::RecordingPlatform platform_;
  FakeSystem system_;
};

TEST(ProvisioningAccountTest, OnlyAccountsWithAPersonBehindThemGetTheModelNow) {
  const struct {
    const char* sid;
    bool writes;
  } cases[] = {
      {"S-1-5-18", false},  // LocalSystem: deployment tools, Group Policy installs
      {"s-1-5-18", false},
      {"S-1-5-19", false},  // LocalService
      {"S-1-5-20", false},  // NetworkService
      {kUser, true},
      {"S-1-5-21-1-2-3-500", true},  // an administrator is a person: their own profile
      {"S-1-5-180", true},
      {"S-1-5-1", true},
      {"", true},  // unknown: the step does what the program run by that account would
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WritesIntoProfileOf(c.sid), c.writes) << c.sid;
  }
}

TEST_F(ProvisioningTest, EachUserGetsTheModelAndKeepsTheirOwnFiles) {
  const struct {
    const char* name;
    const char* board_before;  // nullptr: none
    const char* catalogue_before;
    const char* board_after;
    bool catalogue_laid_out;
  } cases[] = {
      {"user with a board file", "[NETWORK]\r\nPORT=5000\r\n[BOARD]\r\nTYPE=200\r\n", nullptr,
       "[NETWORK]\r\nPORT=5000\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n", true},
      {"new user, no data folder", nullptr, nullptr, "[BOARD]\r\nTYPE_SUB=301\r\nTYPE=300\r\n",
       true},
      {"user with a catalogue of their own", "[BOARD]\r\nTYPE=200\r\n",
       "[Ventrel3DV2]\r\nDISPLAY=Ours\r\n", "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n", false},
  };
  for (const auto& c : cases) {
    test::TempDir user_dir;
    platform_.app_data_folder = user_dir.Path("AppData");
    const std::string data = user_dir.Path("AppData/Dremont/Zorvik - LAN PANORAMIC/");
    if (c.board_before != nullptr) {
      test::WriteFile(data + "VENTREL_DLL.INI", c.board_before);
    }
    if (c.catalogue_before != nullptr) {
      test::WriteFile(data + "VentrelConf.ini", c.catalogue_before);
    }
    const ProvisioningOutcome outcome = ProvisionUser(Step(), system_);
    EXPECT_EQ(outcome.status, 0) << c.name;
    EXPECT_EQ(test::ReadFile(data + "VENTREL_DLL.INI"), c.board_after) << c.name;
    EXPECT_EQ(test::ReadFile(data + "VentrelConf.ini"),
              c.catalogue_laid_out ? kMachineCatalogue : c.catalogue_before)
        << c.name;
    EXPECT_TRUE(platform_.messages.empty()) << c.name << ": no box, ever";
    ASSERT_FALSE(outcome.log.empty()) << c.name;
    EXPECT_EQ(outcome.log.back(), "wrote the model into " + data + "VENTREL_DLL.INI") << c.name;
    for (const std::string& line : outcome.log) {
      EXPECT_EQ(line.find("not found"), std::string::npos) << c.name << ": " << line;
    }
  }
}

TEST_F(ProvisioningTest, AsLocalSystemNothingIsWrittenAndTheStepSucceeds) {
  system_.sid = "S-1-5-18";
  const ProvisioningOutcome outcome = ProvisionUser(Step(), system_);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.log,
            std::vector<std::string>{"installed; the model reaches each user at logon"});
  EXPECT_FALSE(test::Exists(dir_.Path("Users")));
  EXPECT_EQ(system_.folders_created, 0);
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ProvisioningTest, WhatCannotBeDoneIsLoggedNeverShown) {
  const struct {
    const char* name;
    const char* machine_model;  // nullptr: no model file
    const char* step;           // relative to the temporary folder
    int status;
    bool catalogue_laid_out;
  } cases[] = {
      {"no model chosen at installation", nullptr,
       "Program Files/Dremont/Zorvik - LAN PANORAMIC/VentrelConfProvision", 0, true},
      {"a model that is none", "[Provisioning]\r\nMODEL=250\r\n",
       "Program Files/Dremont/Zorvik - LAN PANORAMIC/VentrelConfProvision", 1, false},
      {"a step outside the programs folder", "[Provisioning]\r\nMODEL=301\r\n",
       "Downloads/VentrelConfProvision", 1, false},
  };
  for (const auto& c : cases) {
    test::TempDir user_dir;
    platform_.app_data_folder = user_dir.Path("AppData");
    test::RemoveFile(Installed("Provisioning/Provisioning.ini"));
    if (c.machine_model != nullptr) {
      test::WriteFile(Installed("Provisioning/Provisioning.ini"), c.machine_model);
    }
    test::WriteFile(dir_.Path("Downloads/VentrelConf"), "exe");
    const ProvisioningOutcome outcome = ProvisionUser(dir_.Path(c.step), system_);
    EXPECT_EQ(outcome.status, c.status) << c.name;
    const std::string data = user_dir.Path("AppData/Dremont/Zorvik - LAN PANORAMIC/");
    EXPECT_EQ(test::Exists(data + "VentrelConf.ini"), c.catalogue_laid_out) << c.name;
    EXPECT_FALSE(test::Exists(data + "VENTREL_DLL.INI")) << c.name;
    EXPECT_TRUE(platform_.messages.empty()) << c.name;
    EXPECT_FALSE(outcome.log.empty()) << c.name << ": the log says why";
  }
}

// What an installer passes on is taken only when it is exactly a model: the program's own reading
// ("301x" is 301) would let a typo through to every user.
TEST(RegisteredModelTest, OnlyTheExactCodes) {
  const struct {
    const char* text;
    ModelCode code;
  } cases[] = {
      {"200", 200},       {"300", 300},   {"301", 301},      {"301x", kNoModel}, {" 301", kNoModel},
      {"0301", kNoModel}, {"", kNoModel}, {"250", kNoModel}, {"none", kNoModel},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RegisteredModel(c.text), c.code) << c.text;
  }
}

TEST_F(ProvisioningTest, TheMachineModelIsStoredForEveryUser) {
  EXPECT_EQ(StoreMachineModel(Step(), 200).status, 0);
  EXPECT_EQ(test::ReadFile(Installed("Provisioning/Provisioning.ini")),
            "[Provisioning]\r\nMODEL=200\r\n");
  EXPECT_EQ(StoreMachineModel(Step(), 250).status, 1);
  EXPECT_EQ(test::ReadFile(Installed("Provisioning/Provisioning.ini")),
            "[Provisioning]\r\nMODEL=200\r\n");
  EXPECT_EQ(MachineModelFile(Step()), Installed("Provisioning/Provisioning.ini"));
  EXPECT_EQ(InstalledBrandFolder(Step()), "Dremont");
  EXPECT_EQ(InstalledBrandFolder(dir_.Path("elsewhere/VentrelConfProvision")), "");
  EXPECT_TRUE(platform_.messages.empty());
}

TEST(ActiveSetupVersionTest, EveryInstallationRaisesIt) {
  std::tm now{};
  now.tm_year = 2026 - 1900;
  now.tm_mon = 11;
  now.tm_mday = 9;
  now.tm_hour = 10;
  now.tm_min = 5;
  now.tm_sec = 7;
  const struct {
    const char* previous;
    const char* next;
  } cases[] = {
      {"", "2026,1209,1005,7"},
      {"1,0", "2026,1209,1005,7"},
      {"2026,1209,1005,6", "2026,1209,1005,7"},
      {"2026,1209,1005,7", "2026,1209,1005,8"},  // twice in one second
      {"2027,101,0,0", "2027,101,0,1"},          // the clock went back
      {"garbage", "2026,1209,1005,7"},
      {"1,2,3,4,5", "2026,1209,1005,7"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NextActiveSetupVersion(c.previous, now), c.next) << c.previous;
  }
}

}  // namespace
}  // namespace ventrel
