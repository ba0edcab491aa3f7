// DLL planting: a DLL dropped beside the program, where a USB stick, a share or the Downloads
// folder lets anyone put one, under a name Windows looks for. Its code must never run, in silent
// mode or with the dialog open, and the program must work as if it were not there.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "e2e/machine.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace ventrel::e2e {
namespace {

// The usual finds of a planting review (DLLs that the shell, the controls, themes and the loader
// ask for by name, most not KnownDLLs), and the program's own imports.
const char* const kPlantedNames[] = {
    "uxtheme.dll",        "version.dll",
    "cryptbase.dll",      "dwmapi.dll",
    "profapi.dll",        "userenv.dll",
    "propsys.dll",        "wintrust.dll",
    "imm32.dll",          "msimg32.dll",
    "oleaut32.dll",       "comctl32.dll",
    "shcore.dll",         "shell32.dll",
    "ole32.dll",          "shlwapi.dll",
    "combase.dll",        "windows.storage.dll",
    "kernel.appcore.dll", "msctf.dll",
    "dwrite.dll",         "textinputframework.dll",
    "coremessaging.dll",  "winmm.dll",
    "dbghelp.dll",        "secur32.dll",
    "sspicli.dll",        "cryptsp.dll",
    "bcrypt.dll",         "crypt32.dll",
    "wtsapi32.dll",       "powrprof.dll",
    "apphelp.dll",        "ntmarta.dll",
    "iertutil.dll",       "urlmon.dll",
    "wininet.dll",        "winhttp.dll",
    "netapi32.dll",       "mpr.dll",
    "linkinfo.dll",       "cscapi.dll",
    "setupapi.dll",       "cfgmgr32.dll",
    "usp10.dll",          "riched20.dll",
    "gdiplus.dll",        "comdlg32.dll",
    "oleacc.dll",         "uiautomationcore.dll",
    "winspool.drv",       "hhctrl.ocx",
    "advapi32.dll",       "user32.dll",
    "gdi32.dll",          "msvcrt.dll",
};

const char kBoard[] = "[BOARD]\r\nTYPE=200\r\n";
const char kCatalogue[] =
    "[Model]\r\nManufacturer=Dremont\r\n[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n"
    "[Ventrel3DV1]\r\nDISPLAY=Ventrel 3D v1\r\n[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D v2\r\n";

// The marker DLL, built beside this test program.
std::string MarkerDll() {
  char path[MAX_PATH * 4] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string self(path, n);
  return self.substr(0, self.find_last_of('\\')) + "\\planted_marker.dll";
}

// The names of the planted DLLs whose code ran: each leaves "<name>.ran" beside itself.
std::vector<std::string> MarkersIn(const std::string& folder) {
  std::vector<std::string> ran;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    if (entry.path().extension() == ".ran") {
      ran.push_back(entry.path().stem().string());
    }
  }
  std::sort(ran.begin(), ran.end());
  return ran;
}

void Plant(const std::string& folder) {
  for (const char* name : kPlantedNames) {
    ASSERT_TRUE(::CopyFileA(MarkerDll().c_str(), (folder + "\\" + name).c_str(), FALSE)) << name;
  }
}

// The DLLs the executable imports, as its import directory names them, in capitals.
std::vector<std::string> ImportedDlls(const std::string& exe) {
  const HMODULE mapped = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (mapped == nullptr) {
    ADD_FAILURE() << "cannot map " << exe;
    return {};
  }
  // The handle of a resource mapping carries a flag in its low bits; the image starts below.
  const auto* base =
      reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(mapped) & ~ULONG_PTR{3});
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::vector<std::string> names;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       imports.VirtualAddress != 0 && d->Name != 0; ++d) {
    std::string name(reinterpret_cast<const char*>(base + d->Name));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    names.push_back(name);
  }
  const IMAGE_DATA_DIRECTORY& delayed =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
  if (delayed.VirtualAddress != 0) {
    names.push_back("<delay-loaded imports>");
  }
  ::FreeLibrary(mapped);
  std::sort(names.begin(), names.end());
  return names;
}

// The marker works: loaded, it leaves its file. Without this the tests below could pass with a
// marker that never runs.
TEST(PlantingTest, TheMarkerLeavesItsFileWhenLoaded) {
  test::TempDir dir;
  const std::string control = dir.Path("marker_control.dll");
  ASSERT_TRUE(::CopyFileA(MarkerDll().c_str(), control.c_str(), FALSE)) << MarkerDll();
  const HMODULE loaded = ::LoadLibraryA(control.c_str());
  ASSERT_NE(loaded, nullptr);
  ::FreeLibrary(loaded);
  EXPECT_EQ(MarkersIn(dir.path()), std::vector<std::string>{"marker_control.dll"});
}

// Each a KnownDLL, which Windows takes from the system folder whatever the program's folder holds;
// the rest is loaded at run time from the system folder only.
TEST(PlantingTest, TheProgramImportsOnlyKnownDlls) {
  EXPECT_EQ(ImportedDlls(ExeUnderTest()),
            (std::vector<std::string>{"ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"}));
}

TEST(PlantingTest, NoPlantedDllRunsInSilentModeNorWithTheDialog) {
  test::TempDir dir;
  const std::string exe = dir.Path("VentrelConf.exe");
  const std::string board = dir.Path("Zorvik - LAN PANORAMIC\\VENTREL_DLL.INI");
  InstallExe(exe);
  test::WriteFile(dir.Path("Zorvik - LAN PANORAMIC\\VentrelConf.ini"), kCatalogue);
  test::WriteFile(board, kBoard);
  Plant(dir.path());

  {
    auto process = Start(exe, "301");
    const SilentRun run = RunToTheEnd(process);
    EXPECT_TRUE(run.ended);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.Texts(), std::vector<std::string>{});
    EXPECT_EQ(test::ReadFile(board), "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n");
    EXPECT_EQ(MarkersIn(dir.path()), std::vector<std::string>{}) << "silent mode";
  }

  auto process = Start(exe, "");
  std::vector<uitest::MessageBoxInfo> boxes;
  const HWND dialog = WaitForDialogPastBoxes(process, &boxes);
  ASSERT_NE(dialog, nullptr) << "no dialog";
  EXPECT_EQ(boxes.size(), 0u);
  // The list dropped down and painted, as a user opens it: the themed controls are all loaded.
  uitest::Ask(uitest::ModelList(dialog), CB_SHOWDROPDOWN, TRUE);
  ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_EQ(uitest::ReadCombo(dialog).entries,
            (std::vector<std::string>{"Ventrel 2D", "Ventrel 3D v1", "Ventrel 3D v2"}));
  EXPECT_EQ(MarkersIn(dir.path()), std::vector<std::string>{}) << "with the dialog open";
  uitest::Ask(uitest::ModelList(dialog), CB_SHOWDROPDOWN, FALSE);
  uitest::SelectEntry(dialog, 0);
  uitest::PressOk(dialog);
  const SilentRun rest = FinishRun(process);
  EXPECT_TRUE(rest.ended);
  EXPECT_EQ(rest.Texts(), std::vector<std::string>{});
  EXPECT_EQ(test::ReadFile(board), "[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\n");
  EXPECT_EQ(MarkersIn(dir.path()), std::vector<std::string>{}) << "after the dialog";
}

}  // namespace
}  // namespace ventrel::e2e
