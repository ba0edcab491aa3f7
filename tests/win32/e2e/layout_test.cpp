// The installed and local layouts of each brand, and the messages when folders or files are
// missing, with the real program under Wine.
#include <windows.h>
//
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "e2e/machine.h"
#include "support/temp_dir.h"

namespace ventrel::e2e {
namespace {

using uitest::BoxIcon;

const char kBoard[] = "[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\n";

// Every error box: the program's name as caption, the error icon, one OK button, no extras.
void ExpectErrorBox(const uitest::MessageBoxInfo& box, HWND owner) {
  EXPECT_EQ(box.caption, "VentrelConf") << box.text;
  EXPECT_EQ(box.icon, BoxIcon::kError) << box.text << ": " << uitest::ToString(box.icon);
  EXPECT_EQ(box.owner, owner) << box.text;
  EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"}) << box.text;
  EXPECT_EQ(box.button_ids, std::vector<int>{IDOK}) << box.text;
  EXPECT_FALSE(box.topmost) << box.text;
}

TEST(LayoutTest, InstalledLayoutOfEachBrandUnderEachProgramsFolder) {
  if (!UnderWine()) {
    GTEST_SKIP() << kOnlyUnderWine;
  }
  // On 64-bit Windows both folders, as a 64-bit and a 32-bit installer would install.
  ASSERT_EQ(ProgramFilesFolders().size(), 2u) << "the tests run on 64-bit Windows";
  for (const std::string& programs_folder : ProgramFilesFolders()) {
    for (const BrandFolders& brand : kBrands) {
      const std::string where = std::string(brand.brand) + " under " + programs_folder;
      const std::string product = std::string(brand.brand) + "\\" + brand.product;
      const ScopedTree programs(programs_folder + "\\" + brand.brand);
      const ScopedTree data(AppDataFolder() + "\\" + brand.brand);
      const std::string exe = programs_folder + "\\" + product + "\\VentrelConf.exe";
      const std::string board = AppDataFolder() + "\\" + product + "\\VENTREL_DLL.INI";
      InstallExe(exe);
      test::WriteFile(AppDataFolder() + "\\" + product + "\\VentrelConf.ini",
                      Catalogue(brand.brand));
      test::WriteFile(board, kBoard);

      auto silent = Start(exe, "301");
      const SilentRun run = RunToTheEnd(silent);
      ASSERT_TRUE(run.ended) << where;
      EXPECT_EQ(run.exit_code, 0u) << where;
      EXPECT_EQ(run.Texts(), std::vector<std::string>{}) << where;
      EXPECT_EQ(test::ReadFile(board),
                "[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n")
          << where;

      // The dialog reads the same data folder: this brand's names, the model just written.
      auto interactive = Start(exe, "");
      const HWND dialog = interactive.WaitForDialog();
      ASSERT_NE(dialog, nullptr) << where;
      const uitest::ComboState list = uitest::ReadCombo(dialog);
      EXPECT_EQ(list.entries, (std::vector<std::string>{std::string("2D ") + brand.brand,
                                                        std::string("3D v1 ") + brand.brand,
                                                        std::string("3D v2 ") + brand.brand}));
      EXPECT_EQ(list.selection, 2) << where;
      uitest::PressCloseBox(dialog);
      DWORD code = 0;
      EXPECT_TRUE(interactive.WaitForExit(code)) << where;
    }
  }
}

TEST(LayoutTest, LocalLayoutFromEachBrandsMarker) {
  const struct {
    const char* name;
    const char* markers[3];  // the Manufacturer each product folder's catalogue names; "" none
    int expected_row;
  } cases[] = {
      {"dremont", {"Dremont", "", ""}, 0},
      {"marvello_any_case", {"", "mARVELLO", ""}, 1},
      {"celdrin", {"", "", "Celdrin Imaging"}, 2},
      {"row_one_naming_another_brand", {"Marvello", "Marvello", ""}, 1},
      {"first_match_wins", {"Dremont", "Marvello", "Celdrin Imaging"}, 0},
      {"no_marker_matches", {"Celdrin Imaging", "Dremont", "Marvello"}, 0},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const std::string exe = dir.Path("VentrelConf.exe");
    InstallExe(exe);
    for (int row = 0; row < 3; ++row) {
      const std::string product = dir.Path(kBrands[row].product);
      test::WriteFile(product + "\\VentrelConf.ini", Catalogue(kBrands[row].brand, c.markers[row]));
      test::WriteFile(product + "\\VENTREL_DLL.INI", kBoard);
    }
    auto process = Start(exe, "300");
    const SilentRun run = RunToTheEnd(process);
    ASSERT_TRUE(run.ended) << c.name;
    EXPECT_EQ(run.exit_code, 0u) << c.name;
    EXPECT_EQ(run.Texts(), std::vector<std::string>{}) << c.name;
    for (int row = 0; row < 3; ++row) {
      const std::string board = dir.Path(std::string(kBrands[row].product) + "\\VENTREL_DLL.INI");
      EXPECT_EQ(test::ReadFile(board),
                row == c.expected_row
                    ? "[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\n"
                    : kBoard)
          << c.name << ", row " << row + 1;
    }
  }
}

TEST(LayoutTest, MissingDataFolderIsReportedThenNothingIsWritten) {
  test::TempDir dir;
  const std::string exe = dir.Path("VentrelConf.exe");
  InstallExe(exe);
  auto process = Start(exe, "301");
  const SilentRun run = RunToTheEnd(process);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.Texts(), (std::vector<std::string>{
                             "File VentrelConf.ini not found!",
                             "File \\VENTREL_DLL.INI not found !",
                             "Error: the file \\VENTREL_DLL.INI could not be written!",
                         }));
  for (const auto& box : run.boxes) {
    ExpectErrorBox(box, nullptr);
  }
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(test::ListFolder(dir.path()), "VentrelConf.exe");
  EXPECT_FALSE(test::Exists(dir.path().substr(0, 2) + "\\VENTREL_DLL.INI"));
}

TEST(LayoutTest, MissingBoardFileIsReportedAndTheWriteCreatesIt) {
  test::TempDir dir;
  const std::string exe = dir.Path("VentrelConf.exe");
  const std::string board = dir.Path("Zorvik - LAN PANORAMIC\\VENTREL_DLL.INI");
  InstallExe(exe);
  test::WriteFile(dir.Path("Zorvik - LAN PANORAMIC\\VentrelConf.ini"), Catalogue("x", "Dremont"));
  auto process = Start(exe, "301");
  const SilentRun run = RunToTheEnd(process);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.Texts(), std::vector<std::string>{"File " + board + " not found !"});
  ASSERT_EQ(run.boxes.size(), 1u);
  ExpectErrorBox(run.boxes[0], nullptr);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(test::ReadFile(board), "[BOARD]\r\nTYPE_SUB=301\r\nTYPE=300\r\n");
}

TEST(LayoutTest, MissingCatalogueUnderAnotherExecutableName) {
  // Other.exe anchors on Other.ini; the catalogue keeps its own name, VentrelConf.ini.
  test::TempDir dir;
  const std::string exe = dir.Path("Other.exe");
  const std::string product = dir.Path("Zorvik - LAN PANORAMIC");
  InstallExe(exe);
  test::WriteFile(product + "\\Other.ini", "[Model]\r\nManufacturer=Dremont\r\n");
  test::WriteFile(product + "\\VENTREL_DLL.INI", kBoard);

  auto process = Start(exe, "");
  std::vector<uitest::MessageBoxInfo> boxes;
  const HWND dialog = WaitForDialogPastBoxes(process, &boxes);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "File " + product + "\\VentrelConf.ini not found !");
  EXPECT_EQ(boxes[0].caption, "Other") << "the caption is the executable's own name";
  EXPECT_EQ(boxes[0].owner, nullptr) << "the dialog is not up yet";
  ASSERT_NE(dialog, nullptr) << "an empty list still shows the dialog";
  EXPECT_EQ(uitest::ReadCombo(dialog).entries, std::vector<std::string>{});

  // OK with the empty list: the improper value, now owned by the dialog; nothing is written.
  uitest::PressOk(dialog);
  const auto box = process.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "Error: CUsbConfDlg::SetModel improper value!");
  EXPECT_EQ(box->owner, dialog);
  EXPECT_EQ(box->icon, BoxIcon::kError) << uitest::ToString(box->icon);
  uitest::PressBoxOk(*box);
  DWORD code = 0;
  EXPECT_TRUE(process.WaitForExit(code));
  EXPECT_EQ(test::ReadFile(product + "\\VENTREL_DLL.INI"), kBoard);
}

// A file beyond the 260 characters of the ANSI calls, through the UTF-16 ones.
void WriteLongFile(const std::wstring& path, const std::string& content) {
  const HANDLE file = ::CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
  DWORD written = 0;
  EXPECT_TRUE(
      ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
  ::CloseHandle(file);
}

std::string ReadLongFile(const std::wstring& path) {
  const HANDLE file = ::CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return "<missing>";
  }
  std::string content(4096, '\0');
  DWORD read = 0;
  ::ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
  ::CloseHandle(file);
  content.resize(read);
  return content;
}

// A local layout whose files lie beyond 260 characters, under a name of the code page beyond
// ASCII: the program finds its files and writes the board file. (The executable itself must stay
// within 260: Windows starts no program from beyond.)
TEST(LayoutTest, DeepNonAsciiLocalLayoutIsWritten) {
  test::TempDir dir;
  std::wstring folder = Widen(dir.path()) + L"\\Caf\u00e9";
  ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
  // Deep enough that the board file lies beyond 260 characters, whatever the temporary folder's
  // own length; the executable, 23 characters shallower, stays within.
  const std::size_t below_folder =
      std::wstring_view(L"\\Zorvik - LAN PANORAMIC\\VENTREL_DLL.INI").size();
  while (folder.size() + below_folder <= MAX_PATH) {
    folder += L"\\folder";
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << Narrow(folder);
  }
  const std::wstring product = folder + L"\\Zorvik - LAN PANORAMIC";
  ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + product).c_str(), nullptr));
  const std::wstring exe = folder + L"\\VentrelConf.exe";
  ASSERT_LT(exe.size(), std::size_t{MAX_PATH});
  ASSERT_GT(product.size() + std::string_view("\\VENTREL_DLL.INI").size(), std::size_t{MAX_PATH});
  ASSERT_LT(exe.size(), std::size_t{MAX_PATH});
  ASSERT_GT(product.size() + std::string_view("\\VENTREL_DLL.INI").size(), std::size_t{MAX_PATH});
  ASSERT_TRUE(::CopyFileW(Widen(ExeUnderTest()).c_str(), (L"\\\\?\\" + exe).c_str(), FALSE));
  WriteLongFile(product + L"\\VentrelConf.ini", Catalogue("x", "Dremont"));
  WriteLongFile(product + L"\\VENTREL_DLL.INI", kBoard);

  auto process = Start(exe, L"301");
  const SilentRun run = RunToTheEnd(process);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.Texts(), std::vector<std::string>{});
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(ReadLongFile(product + L"\\VENTREL_DLL.INI"),
            "[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n");
  std::error_code ignored;  // the folder's own clean-up would stop at 260 characters
  std::filesystem::remove_all(L"\\\\?\\" + Widen(dir.path()) + L"\\Caf\u00e9", ignored);
}

// The executable's own folder named in letters the ANSI code page lacks (Chinese under 1252): its
// path is taken whole from Windows, so the local layout there is found and written.
TEST(LayoutTest, LocalLayoutInAFolderTheCodePageCannotHold) {
  test::TempDir dir;
  const std::wstring folder = Widen(dir.path()) + L"\\ventrel-\u4e2d\u6587";
  const std::wstring product = folder + L"\\Zorvik - LAN PANORAMIC";
  ASSERT_EQ(::SHCreateDirectoryExW(nullptr, product.c_str(), nullptr), ERROR_SUCCESS);
  ASSERT_TRUE(
      ::CopyFileW(Widen(ExeUnderTest()).c_str(), (folder + L"\\VentrelConf.exe").c_str(), FALSE));
  WriteLongFile(product + L"\\VentrelConf.ini", Catalogue("x", "Dremont"));
  WriteLongFile(product + L"\\VENTREL_DLL.INI", kBoard);
  auto process = Start(folder + L"\\VentrelConf.exe", L"200");
  const SilentRun run = RunToTheEnd(process);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.Texts(), std::vector<std::string>{});
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(ReadLongFile(product + L"\\VENTREL_DLL.INI"),
            "[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\n");
}

// Points one of the user's shell folders (the roaming application data unless told) elsewhere
// while the object lives, where the shell keeps it (Wine has no SHSetKnownFolderPath).
class AppDataRedirect {
 public:
  explicit AppDataRedirect(const std::wstring& path, const wchar_t* folder = L"AppData")
      : folder_(folder) {
    std::wstring old(32768, L'\0');
    DWORD bytes = static_cast<DWORD>(old.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CURRENT_USER, kKey, folder_, RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                       nullptr, old.data(), &bytes) == ERROR_SUCCESS) {
      previous_ = old.c_str();
      redirected_ = Set(path);
    }
  }
  AppDataRedirect(const AppDataRedirect&) = delete;
  AppDataRedirect& operator=(const AppDataRedirect&) = delete;
  ~AppDataRedirect() {
    if (redirected_) {
      Set(previous_);
    }
  }
  bool redirected() const { return redirected_; }

 private:
  static constexpr const wchar_t* kKey =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

  bool Set(const std::wstring& path) const {
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, folder_, REG_EXPAND_SZ, path.c_str(),
                             static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
  }

  const wchar_t* folder_;
  std::wstring previous_;
  bool redirected_ = false;
};

// The second byte of 'ソ' (0x83 0x5C) and of '能' (0x94 0x5C) in code page 932 is the backslash
// byte. Wine takes the code page from the Unix locale it starts in, so the test command runs this
// case once more under LC_ALL=ja_JP.UTF-8 (tests/win32/CMakeLists.txt); the other runs skip it.
TEST(LayoutTest, FoldersEndingInADoubleByteCharacterUnderCodePage932) {
  if (::GetACP() != 932) {
    GTEST_SKIP() << "code page " << ::GetACP()
                 << ": needs 932 (Japanese Windows; Wine gives it under LC_ALL=ja_JP.UTF-8)";
  }
  const struct {
    const wchar_t* base;  // below the temporary folder
    bool installed;       // the base is then the application-data folder; the last case
  } cases[] = {{L"\u30bd", false}, {L"\u6a5f\u80fd", false}, {L"\u30bd", true}};
  const std::string programs = ProgramFilesFolders().front() + "\\" + kBrands[0].brand;
  for (const auto& c : cases) {
    test::TempDir dir;
    const std::wstring base = Widen(dir.path()) + L"\\" + c.base;
    const std::wstring product =
        base + (c.installed ? L"\\Dremont" : L"") + L"\\Zorvik - LAN PANORAMIC";
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, product.c_str(), nullptr), ERROR_SUCCESS);
    WriteLongFile(product + L"\\VentrelConf.ini", Catalogue("x", "Dremont"));
    WriteLongFile(product + L"\\VENTREL_DLL.INI", kBoard);
    std::wstring exe = base + L"\\VentrelConf.exe";
    std::optional<ScopedTree> installed_tree;
    std::optional<AppDataRedirect> app_data;
    if (c.installed) {
      if (!UnderWine()) {
        GTEST_SKIP() << kOnlyUnderWine;
      }
      installed_tree.emplace(programs);
      app_data.emplace(base);
      ASSERT_TRUE(app_data->redirected());
      exe = Widen(programs + "\\" + kBrands[0].product + "\\VentrelConf.exe");
      InstallExe(Narrow(exe));
    } else {
      ASSERT_TRUE(::CopyFileW(Widen(ExeUnderTest()).c_str(), exe.c_str(), FALSE));
    }

    auto process = Start(exe, L"301");
    const SilentRun run = RunToTheEnd(process);
    ASSERT_TRUE(run.ended) << Narrow(base);
    EXPECT_EQ(run.Texts(), std::vector<std::string>{}) << Narrow(base);
    EXPECT_EQ(run.exit_code, 0u) << Narrow(base);
    EXPECT_EQ(ReadLongFile(product + L"\\VENTREL_DLL.INI"),
              "[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n")
        << Narrow(base);
  }
}

// A user whose profile folder is named in letters the ANSI code page may lack (on a clinic's PCs
// the name comes from the directory): their shell folders under C:\users\<name>, the program and
// its per-user step installed for every user with the machine's model 301. The step provisions
// them and logs in their local folder, then silent mode, the dialog and a message naming such a
// path (a missing catalogue) work for them as for anyone.
// Lays out a profile under C:\users, points the user's shell folders at it and installs under
// Program Files: only in a throwaway Wine prefix, never on a PC that someone uses.
void ExpectProfileWorks(const std::wstring& name) {
  if (!UnderWine()) {
    GTEST_SKIP() << kOnlyUnderWine;
  }
  const std::string who = Utf8(name);
  const std::wstring profile = L"C:\\users\\" + name;
  const ScopedTree profile_tree(profile);
  const std::wstring local = profile + L"\\AppData\\Local";
  const std::wstring roaming = profile + L"\\AppData\\Roaming";
  const std::wstring data = roaming + L"\\Dremont\\Zorvik - LAN PANORAMIC";
  ASSERT_EQ(::SHCreateDirectoryExW(nullptr, local.c_str(), nullptr), ERROR_SUCCESS) << who;
  ASSERT_EQ(::SHCreateDirectoryExW(nullptr, roaming.c_str(), nullptr), ERROR_SUCCESS) << who;
  const AppDataRedirect roaming_redirect(roaming);
  const AppDataRedirect local_redirect(local, L"Local AppData");
  ASSERT_TRUE(roaming_redirect.redirected() && local_redirect.redirected()) << who;
  const std::string programs = ProgramFilesFolders().front() + "\\" + kBrands[0].brand;
  const ScopedTree programs_tree(programs);
  const std::string installed = programs + "\\" + kBrands[0].product;
  const std::wstring exe = Widen(installed + "\\VentrelConf.exe");
  InstallExe(installed + "\\VentrelConf.exe");
  InstallExe(installed + "\\Other.exe");
  ASSERT_TRUE(::CopyFileA(StepUnderTest().c_str(),
                          (installed + "\\VentrelConfProvision.exe").c_str(), FALSE));
  test::WriteFile(installed + "\\Provisioning\\VentrelConf.ini", Catalogue("m"));
  test::WriteFile(installed + "\\Provisioning\\Provisioning.ini",
                  "[Provisioning]\r\nMODEL=301\r\n");

  auto step = Start(Widen(installed + "\\VentrelConfProvision.exe"), L"");
  DWORD status = 0xFFFFFFFF;
  ASSERT_TRUE(step.WaitForExit(status, 30000)) << who;
  EXPECT_EQ(status, 0u) << who;
  const std::wstring board = data + L"\\VENTREL_DLL.INI";
  EXPECT_EQ(ReadLongFile(data + L"\\VentrelConf.ini"), Catalogue("m")) << who;
  EXPECT_EQ(ReadLongFile(board), "[BOARD]\r\nTYPE_SUB=301\r\nTYPE=300\r\n") << who;
  const std::string log = ReadLongFile(local + L"\\VentrelConf\\Provisioning.log");
  EXPECT_NE(log.find("user: wrote the model into " + Utf8(board) + "\r\n"), std::string::npos)
      << who << ": " << log;
  EXPECT_NE(log.find("user: status 0\r\n"), std::string::npos) << who << ": " << log;

  auto silent = Start(exe, L"300");
  const SilentRun run = RunToTheEnd(silent);
  ASSERT_TRUE(run.ended) << who;
  EXPECT_EQ(run.Texts(), std::vector<std::string>{}) << who;
  EXPECT_EQ(run.exit_code, 0u) << who;
  EXPECT_EQ(ReadLongFile(board), "[BOARD]\r\nTYPE_SUB=300\r\nTYPE=300\r\n") << who;

  // Where no one could see a box (an unattended run), the line names the path whole, in UTF-8.
  ASSERT_TRUE(::DeleteFileW(board.c_str())) << who;
  const UnattendedRun unattended = RunUnattended(installed + "\\VentrelConf.exe", "300");
  ASSERT_TRUE(unattended.ended) << who;
  EXPECT_EQ(unattended.exit_code, 0u) << who;
  EXPECT_EQ(unattended.standard_error, "VentrelConf: File " + Utf8(board) + " not found !\n")
      << who;
  EXPECT_EQ(ReadLongFile(board), "[BOARD]\r\nTYPE_SUB=300\r\nTYPE=300\r\n") << who;

  auto interactive = Start(exe, L"");
  const HWND dialog = interactive.WaitForDialog();
  ASSERT_NE(dialog, nullptr) << who;
  const uitest::ComboState list = uitest::ReadCombo(dialog);
  EXPECT_EQ(list.entries, (std::vector<std::string>{"2D m", "3D v1 m", "3D v2 m"})) << who;
  EXPECT_EQ(list.selection, 1) << who;
  uitest::SelectEntry(dialog, 0);
  uitest::PressOk(dialog);
  const SilentRun rest = FinishRun(interactive);
  EXPECT_EQ(rest.Texts(), std::vector<std::string>{}) << who;
  EXPECT_EQ(rest.exit_code, 0u) << who;
  EXPECT_EQ(ReadLongFile(board), "[BOARD]\r\nTYPE_SUB=300\r\nTYPE=200\r\n") << who;

  // Other.exe anchors on Other.ini; the catalogue beside it is missing, and the box names it whole.
  WriteLongFile(data + L"\\Other.ini", "[Model]\r\nManufacturer=Dremont\r\n");
  ASSERT_TRUE(::DeleteFileW((data + L"\\VentrelConf.ini").c_str())) << who;
  auto other = Start(Widen(installed + "\\Other.exe"), L"");
  std::vector<uitest::MessageBoxInfo> boxes;
  const HWND empty_dialog = WaitForDialogPastBoxes(other, &boxes);
  ASSERT_EQ(boxes.size(), 1u) << who;
  EXPECT_EQ(boxes[0].text_utf8, "File " + Utf8(data) + "\\VentrelConf.ini not found !") << who;
  EXPECT_EQ(boxes[0].caption, "Other") << who;
  EXPECT_EQ(boxes[0].icon, BoxIcon::kError) << who;
  EXPECT_EQ(boxes[0].owner, nullptr) << who;
  ASSERT_NE(empty_dialog, nullptr) << who;
  uitest::PressCloseBox(empty_dialog);
  DWORD code = 0;
  EXPECT_TRUE(other.WaitForExit(code)) << who;
}

TEST(LayoutTest, ProfileNamedBeyondTheCodePage) {
  for (const wchar_t* name : {L"\u0141ukasz", L"\u0414\u043c\u0438\u0442\u0440\u0438\u0439",
                              L"\u0395\u03bb\u03ad\u03bd\u03b7"}) {
    ExpectProfileWorks(name);
  }
}

// Under code page 932 as well (the second run of the test command, LC_ALL=ja_JP.UTF-8).
TEST(LayoutTest, ProfileNamedBeyondTheCodePageUnderCodePage932) {
  if (::GetACP() != 932) {
    GTEST_SKIP() << "code page " << ::GetACP() << ": Wine gives 932 under LC_ALL=ja_JP.UTF-8";
  }
  ExpectProfileWorks(L"\u0141ukasz");
}

}  // namespace
}  // namespace ventrel::e2e
