// The machine the end-to-end tests arrange: the built program copied into the layouts a user's
// machine has, the INI files around it, and runs of it watched window by window.
#pragma once

#include <string>
#include <vector>

#include "driver/ui_driver.h"

namespace ventrel::e2e {

// A brand's folders and the manufacturer its marker names, as the installers lay them out.
struct BrandFolders {
  const char* brand;
  const char* product;
  const char* manufacturer;
};

inline constexpr BrandFolders kBrands[] = {
    {"Dremont", "Zorvik - LAN PANORAMIC", "Dremont"},
    {"Marvello", "Unnamed Marvello product", "Marvello"},
    {"Celdrin Imaging", "Panoramic Quarvis 3D", "Celdrin Imaging"},
};

// A catalogue naming all three models, each name ending in `tag` so that a test can tell which
// catalogue a dialog read.
std::string Catalogue(const std::string& tag, const std::string& manufacturer = "");

// The built VentrelConf.exe, and the per-user step built beside it.
std::string ExeUnderTest();
std::string StepUnderTest();
// What Windows tells every program its programs and roaming application-data folders are. On
// 64-bit Windows there are two programs folders, the 64-bit one first, whatever this test's own
// architecture.
std::vector<std::string> ProgramFilesFolders();
std::string AppDataFolder();
// Whether this runs under Wine. Only there may a test lay out and remove folders in the machine's
// own programs and application-data folders: a Wine prefix is thrown away after the run, a PC's
// folders may hold a real install.
bool UnderWine();
inline constexpr const char* kOnlyUnderWine =
    "only under Wine: it lays out and removes the brands' folders in Program Files and the "
    "user's application data (run-tests.cmd /packages installs the real package instead)";

// ANSI text as UTF-16, and back with the ANSI code page's stand-in for what it cannot hold.
std::wstring Widen(const std::string& ansi);
std::string Narrow(const std::wstring& wide);
// UTF-16 as UTF-8, whole: what the program writes where the ANSI code page lacks letters.
std::string Utf8(const std::wstring& wide);

// Copies the program under test to `path` (creating its folders).
void InstallExe(const std::string& path);
// Removes a folder and everything in it, read-only files included.
void RemoveTree(const std::string& path);
void RemoveTree(const std::wstring& path);

// A folder tree that goes when the object goes, for layouts outside the temporary folder.
class ScopedTree {
 public:
  explicit ScopedTree(const std::string& path) : ScopedTree(Widen(path)) {}
  explicit ScopedTree(std::wstring path) : path_(std::move(path)) { RemoveTree(path_); }
  ScopedTree(const ScopedTree&) = delete;
  ScopedTree& operator=(const ScopedTree&) = delete;
  ~ScopedTree() { RemoveTree(path_); }

 private:
  std::wstring path_;
};

// Starts `exe` with `arguments` after its quoted name on the command line, exactly as given.
uitest::AppProcess Start(const std::string& exe, const std::string& arguments);
uitest::AppProcess Start(const std::wstring& exe, const std::wstring& arguments);

// A whole run without a dialog: every message box in turn is read and closed with OK, until the
// process ends. Fails the test when a dialog shows or the process does not end.
struct SilentRun {
  std::vector<uitest::MessageBoxInfo> boxes;
  unsigned long exit_code = 0xFFFFFFFF;
  bool dialog_shown = false;
  bool ended = false;

  std::vector<std::string> Texts() const;
};
SilentRun RunToTheEnd(uitest::AppProcess& process);

// A run in a window station that no one can see, as a deployment tool running as SYSTEM starts
// it: whether it ended by itself within the time, its status and its standard error.
struct UnattendedRun {
  bool ended = false;
  unsigned long exit_code = 0xFFFFFFFF;
  std::string standard_error;
};
// `kill_after_ms`: a program still running then is killed, as TerminateProcess kills.
UnattendedRun RunUnattended(const std::string& exe, const std::string& arguments,
                            DWORD kill_after_ms = 15000);

// The rest of a run after the dialog was told to close: every box is read and closed with OK
// until the process ends.
SilentRun FinishRun(uitest::AppProcess& process);

// Closes every message box until the dialog shows; returns the boxes and the dialog (nullptr
// when the process ended or showed nothing).
HWND WaitForDialogPastBoxes(uitest::AppProcess& process,
                            std::vector<uitest::MessageBoxInfo>* boxes = nullptr);

}  // namespace ventrel::e2e
