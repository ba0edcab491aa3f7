// The model-selection dialog as the user meets it: its window, its list, OK, every way to
// cancel, F1, and the board file's bytes after each of them.
#include <windows.h>

#include <gtest/gtest.h>

#include "driver/fake_help_system.h"
#include "e2e/machine.h"
#include "support/temp_dir.h"

namespace ventrel::e2e {
namespace {

using uitest::BoxIcon;
using uitest::ComboState;

const char kFullCatalogue[] =
    "[Model]\r\nManufacturer=Dremont\r\n[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n"
    "[Ventrel3DV1]\r\nDISPLAY=Ventrel 3D v1\r\n[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D v2\r\n";
const char kBoard300Sub301[] = "; driver\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\nX=1\r\n";

// A local Dremont layout with the program beside it.
class DialogTest : public testing::Test {
 protected:
  DialogTest() { InstallExe(exe_); }

  void Lay(const std::string& board, const std::string& catalogue = kFullCatalogue) {
    test::WriteFile(dir_.Path("Zorvik - LAN PANORAMIC\\VentrelConf.ini"), catalogue);
    test::WriteFile(board_, board);
  }

  // Starts the program without arguments and waits for its dialog.
  HWND Open(uitest::AppProcess& process) {
    const HWND dialog = WaitForDialogPastBoxes(process);
    EXPECT_NE(dialog, nullptr) << "no dialog";
    return dialog;
  }

  // The process has ended and showed no box on the way.
  void ExpectEndsQuietly(uitest::AppProcess& process) {
    const SilentRun rest = FinishRun(process);
    EXPECT_TRUE(rest.ended);
    EXPECT_EQ(rest.Texts(), std::vector<std::string>{});
  }

  test::TempDir dir_;
  std::string exe_ = dir_.Path("VentrelConf.exe");
  std::string board_ = dir_.Path("Zorvik - LAN PANORAMIC\\VENTREL_DLL.INI");
};

TEST_F(DialogTest, WindowIsTheTemplatesAndCentredInTheWorkArea) {
  Lay(kBoard300Sub301);
  auto process = Start(exe_, "");
  const HWND dialog = Open(process);
  ASSERT_NE(dialog, nullptr);

  EXPECT_EQ(uitest::WindowText(dialog), "VentrelConf");
  const auto style = static_cast<DWORD>(::GetWindowLongA(dialog, GWL_STYLE));
  for (const DWORD bit :
       std::initializer_list<DWORD>{WS_POPUP, WS_VISIBLE, WS_CAPTION, WS_SYSMENU, DS_MODALFRAME}) {
    EXPECT_EQ(style & bit, bit) << std::hex << bit;
  }
  EXPECT_NE(::GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0) << "in the taskbar";
  EXPECT_EQ(::GetWindow(dialog, GW_OWNER), nullptr) << "the main window has no owner";

  const HWND list = uitest::ModelList(dialog);
  EXPECT_EQ(uitest::ClassName(list), "ComboBox");
  const LONG list_style = ::GetWindowLongA(list, GWL_STYLE);
  EXPECT_EQ(list_style & 3, CBS_DROPDOWN) << "editable, not a drop-down list";
  EXPECT_EQ(list_style & CBS_SORT, 0) << "unsorted";
  EXPECT_NE(list_style & WS_TABSTOP, 0);
  EXPECT_EQ(uitest::ClassName(::GetWindow(list, GW_CHILD)), "Edit");

  const HWND ok = ::GetDlgItem(dialog, IDOK);
  EXPECT_EQ(uitest::WindowText(ok), "OK");
  EXPECT_EQ(::GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(::GetDlgItem(dialog, IDCANCEL), nullptr) << "there is no Cancel button";

  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  RECT frame{};
  ::GetWindowRect(dialog, &frame);
  const LONG width = frame.right - frame.left;
  const LONG height = frame.bottom - frame.top;
  EXPECT_EQ(frame.left, (work.left + work.right) / 2 - width / 2);
  EXPECT_EQ(frame.top, (work.top + work.bottom) / 2 - height / 2);

  uitest::PressCloseBox(dialog);
  ExpectEndsQuietly(process);
}

TEST_F(DialogTest, ListFollowsTheCatalogueAndPreselectsTheBoardsModel) {
  const struct {
    const char* name;
    const char* board;
    const char* catalogue;
    std::vector<std::string> entries;
    std::vector<LRESULT> data;
    int selection;
  } cases[] = {
      {"3d_version_2",
       kBoard300Sub301,
       kFullCatalogue,
       {"Ventrel 2D", "Ventrel 3D v1", "Ventrel 3D v2"},
       {200, 300, 301},
       2},
      {"3d_version_1_without_sub",
       "[BOARD]\r\nTYPE=300\r\n",
       kFullCatalogue,
       {"Ventrel 2D", "Ventrel 3D v1", "Ventrel 3D v2"},
       {200, 300, 301},
       1},
      {"2d_with_left_over_sub",
       "[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\n",
       kFullCatalogue,
       {"Ventrel 2D", "Ventrel 3D v1", "Ventrel 3D v2"},
       {200, 300, 301},
       0},
      {"catalogue_hides_2d",
       kBoard300Sub301,
       "[Model]\r\nManufacturer=Dremont\r\n[VentrelV1]\r\nDISPLAY=ECHEC\r\n"
       "[Ventrel3DV1]\r\nDISPLAY=b\r\n[Ventrel3DV2]\r\nDISPLAY=c\r\n",
       {"b", "c"},
       {300, 301},
       1},
      {"catalogue_order_and_case",
       "[BOARD]\r\nTYPE=200\r\n",
       "[Ventrel3DV2]\r\nDISPLAY=c\r\n[ventrelv1]\r\ndisplay=echec\r\n[Model]\r\n"
       "Manufacturer=Dremont\r\n",
       {"echec", "c"},
       {200, 301},
       0},
      {"no_type",
       "[BOARD]\r\nX=1\r\n",
       kFullCatalogue,
       {"Ventrel 2D", "Ventrel 3D v1", "Ventrel 3D v2"},
       {200, 300, 301},
       CB_ERR},
      {"unknown_type",
       "[BOARD]\r\nTYPE=250\r\n",
       kFullCatalogue,
       {"Ventrel 2D", "Ventrel 3D v1", "Ventrel 3D v2"},
       {200, 300, 301},
       CB_ERR},
  };
  for (const auto& c : cases) {
    Lay(c.board, c.catalogue);
    auto process = Start(exe_, "");
    const HWND dialog = Open(process);
    ASSERT_NE(dialog, nullptr) << c.name;
    const ComboState list = uitest::ReadCombo(dialog);
    EXPECT_EQ(list.entries, c.entries) << c.name;
    EXPECT_EQ(list.item_data, c.data) << c.name;
    EXPECT_EQ(list.selection, c.selection) << c.name;
    EXPECT_EQ(list.edit_text, c.selection == CB_ERR ? "" : c.entries[c.selection]) << c.name;
    uitest::PressKey(dialog, VK_ESCAPE);
    ExpectEndsQuietly(process);
    EXPECT_EQ(test::ReadFile(board_), c.board) << c.name << ": nothing written on cancel";
  }
}

TEST_F(DialogTest, OkWritesTheChosenEntrysModel) {
  const struct {
    int entry;
    const char* board_after;
  } cases[] = {
      {0, "; driver\r\n[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\nX=1\r\n"},
      {1, "; driver\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\nX=1\r\n"},
      {2, kBoard300Sub301},
  };
  for (const auto& c : cases) {
    Lay(kBoard300Sub301);
    auto process = Start(exe_, "");
    const HWND dialog = Open(process);
    ASSERT_NE(dialog, nullptr);
    uitest::SelectEntry(dialog, c.entry);
    EXPECT_EQ(uitest::ReadCombo(dialog).selection, c.entry);
    uitest::PressOk(dialog);
    ExpectEndsQuietly(process);
    EXPECT_EQ(test::ReadFile(board_), c.board_after) << "entry " << c.entry;
  }
}

TEST_F(DialogTest, EnterPressesOk) {
  Lay("[BOARD]\r\nTYPE=200\r\n");
  auto process = Start(exe_, "");
  const HWND dialog = Open(process);
  ASSERT_NE(dialog, nullptr);
  uitest::SelectEntry(dialog, 2);
  uitest::PressKey(dialog, VK_RETURN);
  ExpectEndsQuietly(process);
  EXPECT_EQ(test::ReadFile(board_), "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n");
}

TEST_F(DialogTest, OkWithNothingSelectedShowsTheImproperValueAndWritesNothing) {
  const std::string board = "[BOARD]\r\nX=1\r\n";
  Lay(board);
  auto process = Start(exe_, "");
  const HWND dialog = Open(process);
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(uitest::ReadCombo(dialog).selection, CB_ERR);
  uitest::PressOk(dialog);
  const auto box = process.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "Error: CUsbConfDlg::SetModel improper value!");
  EXPECT_EQ(box->caption, "VentrelConf");
  EXPECT_EQ(box->owner, dialog) << "the dialog is on screen, so it owns the box";
  EXPECT_EQ(box->icon, BoxIcon::kError) << uitest::ToString(box->icon);
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
  uitest::PressBoxOk(*box);
  ExpectEndsQuietly(process);
  EXPECT_EQ(test::ReadFile(board_), board);
}

TEST_F(DialogTest, TextTypedIntoTheFieldIsNeverWritten) {
  Lay("[BOARD]\r\nTYPE=200\r\n");
  auto process = Start(exe_, "");
  const HWND dialog = Open(process);
  ASSERT_NE(dialog, nullptr);
  uitest::TypeIntoEditField(dialog, "301");
  const ComboState list = uitest::ReadCombo(dialog);
  ASSERT_EQ(list.edit_text, "301");
  uitest::PressOk(dialog);
  // What OK writes is the selected entry's code, whatever the field says.
  if (list.selection == CB_ERR) {
    const auto box = process.WaitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Error: CUsbConfDlg::SetModel improper value!");
    uitest::PressBoxOk(*box);
  }
  ExpectEndsQuietly(process);
  EXPECT_EQ(test::ReadFile(board_), "[BOARD]\r\nTYPE=200\r\n");
}

TEST_F(DialogTest, EveryWayToCancelWritesNothing) {
  const struct {
    const char* name;
    void (*close)(HWND dialog);
  } cases[] = {
      {"escape", [](HWND dialog) { uitest::PressKey(dialog, VK_ESCAPE); }},
      {"close_box", [](HWND dialog) { uitest::PressCloseBox(dialog); }},
      {"alt_f4", [](HWND dialog) { uitest::PressKey(dialog, VK_F4, {VK_MENU}); }},
      {"system_menu_close",
       [](HWND dialog) {
         uitest::PressKey(dialog, VK_SPACE, {VK_MENU});  // opens the system menu
         ::Sleep(300);
         uitest::PressKey(dialog, 'C');  // its Close item
       }},
  };
  for (const auto& c : cases) {
    Lay(kBoard300Sub301);
    auto process = Start(exe_, "");
    const HWND dialog = Open(process);
    ASSERT_NE(dialog, nullptr) << c.name;
    uitest::SelectEntry(dialog, 0);  // a choice made, then abandoned
    c.close(dialog);
    ExpectEndsQuietly(process);
    EXPECT_EQ(test::ReadFile(board_), kBoard300Sub301) << c.name;
  }
}

TEST_F(DialogTest, F1AsksForTheDialogsHelpContext) {
  Lay(kBoard300Sub301);
  const uitest::FakeHelpSystem help(true);
  ASSERT_TRUE(help.ready());
  auto process = Start(exe_, "");
  const HWND dialog = Open(process);
  ASSERT_NE(dialog, nullptr);

  // With a modifier held, F1 is not the help key.
  uitest::PressKey(dialog, VK_F1, {VK_SHIFT});
  uitest::PressKey(dialog, VK_F1, {VK_CONTROL});
  EXPECT_EQ(help.Requests(1, 500).size(), 0u);

  uitest::PressKey(dialog, VK_F1);
  const auto requests = help.Requests(1, 5000);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].command, static_cast<unsigned>(HELP_CONTEXT));
  EXPECT_EQ(requests[0].data, 0x20066);
  EXPECT_EQ(requests[0].file, dir_.Path("VentrelConf.HLP"));
  EXPECT_EQ(requests[0].caller, dialog);
  EXPECT_FALSE(process.WaitForMessageBox(300)) << "help that starts shows no box";

  uitest::PressKey(dialog, VK_ESCAPE);
  ExpectEndsQuietly(process);
  EXPECT_EQ(test::ReadFile(board_), kBoard300Sub301);
}

TEST_F(DialogTest, HelpThatFailsToStartIsReportedWithTheExclamationIcon) {
  Lay(kBoard300Sub301);
  const uitest::FakeHelpSystem help(false);
  ASSERT_TRUE(help.ready());
  auto process = Start(exe_, "");
  const HWND dialog = Open(process);
  ASSERT_NE(dialog, nullptr);
  uitest::PressKey(dialog, VK_F1);
  const auto box = process.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "Failed to launch help.");
  EXPECT_EQ(box->caption, "VentrelConf");
  EXPECT_EQ(box->owner, dialog);
  EXPECT_EQ(box->icon, BoxIcon::kWarning) << uitest::ToString(box->icon);
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
  uitest::PressBoxOk(*box);
  // The dialog carries on after the box.
  ASSERT_EQ(process.WaitForDialog(2000), dialog);
  uitest::SelectEntry(dialog, 1);
  uitest::PressOk(dialog);
  ExpectEndsQuietly(process);
  EXPECT_EQ(test::ReadFile(board_), "; driver\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\nX=1\r\n");
}

TEST_F(DialogTest, MinimisedAndRestoredDialogKeepsWorking) {
  Lay(kBoard300Sub301);
  auto process = Start(exe_, "");
  const HWND dialog = Open(process);
  ASSERT_NE(dialog, nullptr);
  ::PostMessageA(dialog, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  for (int i = 0; i < 100 && !::IsIconic(dialog); ++i) {
    ::Sleep(20);
  }
  EXPECT_TRUE(::IsIconic(dialog));
  // Wine parks a minimised window at (-32000, -32000) with no client area, so what it paints
  // there cannot be seen; painting it must still leave the dialog working.
  ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  ::PostMessageA(dialog, WM_SYSCOMMAND, SC_RESTORE, 0);
  for (int i = 0; i < 100 && ::IsIconic(dialog); ++i) {
    ::Sleep(20);
  }
  EXPECT_FALSE(::IsIconic(dialog));
  uitest::SelectEntry(dialog, 0);
  uitest::PressOk(dialog);
  ExpectEndsQuietly(process);
  EXPECT_EQ(test::ReadFile(board_), "; driver\r\n[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\nX=1\r\n");
}

}  // namespace
}  // namespace ventrel::e2e
