// VentrelConfProvision.exe, installed beside VentrelConf.exe: the per-user step and its Active
// Setup registration. It never shows a window and always ends; what it did goes into a log.
//
//   VentrelConfProvision.exe               the step for the account it runs as (Active Setup,
//                                          the Run keys, RunOnce)
//   VentrelConfProvision.exe /installing   the same for the installing user, only when the
//                                          machine's Version is not yet theirs
//   VentrelConfProvision.exe /register MODEL [/everylogon=0|1]
//                                          as an administrator: keep MODEL (200, 300, 301, or
//                                          none: the catalogue alone) for every user. Only
//                                          a new model or a new version raises Active Setup's
//                                          Version; the same again changes nothing at all.
//                                          /everylogon=1 runs the step at every logon of every
//                                          user; without it, what was chosen before stays
//   VentrelConfProvision.exe /unregister   as an administrator: undo /register
//
// A step that fails for a user (the driver holds the board file, the file is read-only, ...)
// runs again at that user's next logon, through their RunOnce key, until it succeeds.
//
// The MSI adds /product=<its ProductCode> to both: an upgrade removes the older version after the
// newer one registered, and the older one's /unregister then leaves the newer one's entry alone.
//
// Exit status: 0 done (or, as LocalSystem, left to each user's logon), 1 not, 2 a usage error.
#include <windows.h>
//
#include <knownfolders.h>
#include <sddl.h>

#include <cstdio>
#include <ctime>
#include <cwchar>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "provision/provisioning.h"
#include "ui/win32/dll_search.h"
#include "utility/platform/code_page_win32.h"
#include "utility/platform/folders.h"
#include "utility/platform/folders_win32.h"
#include "utility/platform/path.h"
#include "utility/text.h"

namespace ventrel {
namespace {

constexpr const char kActiveSetupKey[] =
    "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\";
constexpr const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// This build's version, as project() gives it: a new one raises Active Setup's Version.
constexpr const char kProgramVersion[] = VENTREL_VERSION;
constexpr const char kLogFolder[] = "VentrelConf";
constexpr const char kLogFile[] = "Provisioning.log";
// A log that grew this large starts again: the step runs at every logon of every user.
constexpr LONGLONG kLongestLog = 1 << 20;

// Paths and registry text are UTF-8 here, as the program carries them, and UTF-16 at the system:
// a user's profile may be named in letters the ANSI code page lacks. Empty for invalid text.
std::wstring Wide(std::string_view utf8) {
  std::wstring wide;
  return WideFromCodePage(CP_UTF8, utf8, wide) ? wide : std::wstring();
}

std::string Utf8(std::wstring_view wide) {
  std::string utf8;
  return CodePageFromWide(CP_UTF8, wide, utf8) ? utf8 : std::string();
}

class Win32ProvisioningSystem final : public ProvisioningSystem {
 public:
  std::string AccountSid() const override {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
      return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    std::string sid;
    char* text = nullptr;
    if (size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
      sid = text;
      ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
  }

  // Each folder on the way, from the root down (the shell's SHCreateDirectoryEx would import
  // shell32, which pulls in DLLs that are not all KnownDLLs).
  bool CreateFolders(const std::string& path) override {
    for (std::size_t at = path.find_first_of("\\/", 3);; at = path.find_first_of("\\/", at + 1)) {
      ::CreateDirectoryW(Wide(path.substr(0, at)).c_str(), nullptr);
      if (at == std::string::npos) {
        break;
      }
    }
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
};

// The user's local application data; for a service account, which has no user, the system's
// temporary folder, so that nothing is written into that account's own profile.
std::string LogPath(Win32ProvisioningSystem& system) {
  if (!WritesIntoProfileOf(system.AccountSid())) {
    std::wstring temp(MAX_PATH + 1, L'\0');
    const DWORD n = ::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
    if (n == 0 || n >= temp.size()) {
      return {};
    }
    temp.resize(n);
    return PathAppend(Utf8(temp), "VentrelConf-Provisioning.log");
  }
  const std::string local = KnownFolder(FOLDERID_LocalAppData);
  if (local.empty()) {
    return {};
  }
  const std::string folder = PathAppend(local, kLogFolder);
  return system.CreateFolders(folder) ? PathAppend(folder, kLogFile) : std::string();
}

// Appends the lines, each after the time and what ran, in UTF-8 (the paths in them may be beyond
// the ANSI code page). A log that cannot be written is no reason to fail the step.
void WriteLog(Win32ProvisioningSystem& system, const std::string& what,
              const ProvisioningOutcome& outcome) {
  const std::string path = LogPath(system);
  if (path.empty()) {
    return;
  }
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file, &size) && size.QuadPart > kLongestLog) {
    ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file);
  }
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  std::string text;
  for (const std::string& line : outcome.log) {
    text += stamp + what + ": " + line + "\r\n";
  }
  text += stamp + what + ": status " + std::to_string(outcome.status) + "\r\n";
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

// One component per brand: installing another brand's package leaves this one's alone. The same
// name serves for the brand's values in the Run and RunOnce keys.
std::string ComponentName(const std::string& brand_folder) {
  return "VentrelConf " + brand_folder;
}

std::string ActiveSetupKey(const std::string& brand_folder) {
  return kActiveSetupKey + ComponentName(brand_folder);
}

// Where deployment tools' registry rules look: the model kept for every user, and what the
// installations chose, so that a repeat can tell it changes nothing.
std::string MachineKey(const std::string& brand_folder) {
  return "SOFTWARE\\" + brand_folder + "\\VentrelConf";
}

constexpr const char kModelValue[] = "Model";
constexpr const char kVersionValue[] = "ProgramVersion";
constexpr const char kEveryLogonValue[] = "EveryLogon";

// A key of HKLM's in the 64-bit view (the one there is on 32-bit Windows), or of HKCU's.
class RegistryKey {
 public:
  RegistryKey(HKEY root, const std::string& name, bool create, REGSAM access) {
    const REGSAM view = root == HKEY_LOCAL_MACHINE ? KEY_WOW64_64KEY : 0;
    const std::wstring wide_name = Wide(name);
    const LSTATUS status = create
                               ? ::RegCreateKeyExW(root, wide_name.c_str(), 0, nullptr, 0,
                                                   access | view, nullptr, &key_, nullptr)
                               : ::RegOpenKeyExW(root, wide_name.c_str(), 0, access | view, &key_);
    if (status != ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (key_ != nullptr) {
      ::RegCloseKey(key_);
    }
  }
  explicit operator bool() const { return key_ != nullptr; }

  // Text values in UTF-8; a value's name is ASCII, nullptr for the key's default value.
  std::string String(const char* name) const {
    wchar_t value[256] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (key_ == nullptr ||
        ::RegQueryValueExW(key_, ValueName(name).get(), nullptr, &type,
                           reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return {};
    }
    return Utf8(std::wstring_view(value, ::wcsnlen(value, size / sizeof(wchar_t))));
  }
  bool SetString(const char* name, const std::string& value, DWORD type = REG_SZ) const {
    const std::wstring wide = Wide(value);
    return key_ != nullptr && (value.empty() || !wide.empty()) &&
           ::RegSetValueExW(
               key_, ValueName(name).get(), 0, type, reinterpret_cast<const BYTE*>(wide.c_str()),
               static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  bool SetNumber(const char* name, DWORD value) const {
    return key_ != nullptr &&
           ::RegSetValueExW(key_, ValueName(name).get(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
  }
  DWORD Number(const char* name) const {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    return key_ != nullptr &&
                   ::RegQueryValueExW(key_, ValueName(name).get(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                   type == REG_DWORD
               ? value
               : 0;
  }
  // True when the value is gone, whether it was there or not; `removed` tells which.
  bool Remove(const char* name, bool* removed = nullptr) const {
    const LSTATUS status =
        key_ == nullptr ? ERROR_FILE_NOT_FOUND : ::RegDeleteValueW(key_, ValueName(name).get());
    if (removed != nullptr) {
      *removed = status == ERROR_SUCCESS;
    }
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }

 private:
  // A value's name as the W functions take it, which stays alive for the call.
  class ValueName {
   public:
    explicit ValueName(const char* name) : null_(name == nullptr), name_(Wide(name ? name : "")) {}
    const wchar_t* get() const { return null_ ? nullptr : name_.c_str(); }

   private:
    bool null_;
    std::wstring name_;
  };

  HKEY key_ = nullptr;
};

// What the installations of a brand chose for every user.
struct MachineRecord {
  ModelCode model = kNoModel;
  std::string version;
  bool every_logon = false;
};

MachineRecord ReadMachineRecord(const std::string& brand) {
  const RegistryKey key(HKEY_LOCAL_MACHINE, MachineKey(brand), false, KEY_QUERY_VALUE);
  return {RegisteredModel(key.String(kModelValue)), key.String(kVersionValue),
          key.Number(kEveryLogonValue) == 1};
}

bool WriteMachineRecord(const std::string& brand, const MachineRecord& record) {
  const RegistryKey key(HKEY_LOCAL_MACHINE, MachineKey(brand), true,
                        KEY_QUERY_VALUE | KEY_SET_VALUE);
  return (IsModel(record.model) ? key.SetString(kModelValue, std::to_string(record.model))
                                : key.Remove(kModelValue)) &&
         key.SetString(kVersionValue, record.version) &&
         key.SetNumber(kEveryLogonValue, record.every_logon ? 1 : 0);
}

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// StubPath names this executable; Version rises, so that the step runs once more for every user
// at the next logon, with the model just chosen.
bool RegisterActiveSetup(const std::string& step_path, const std::string& brand_folder,
                         const std::string& product, ProvisioningOutcome& outcome) {
  const std::string name = ActiveSetupKey(brand_folder);
  const RegistryKey key(HKEY_LOCAL_MACHINE, name, true, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (!key) {
    outcome.log.push_back("HKLM\\" + name + " could not be created");
    return false;
  }
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  std::tm local{};
  local.tm_year = now.wYear - 1900;
  local.tm_mon = now.wMonth - 1;
  local.tm_mday = now.wDay;
  local.tm_hour = now.wHour;
  local.tm_min = now.wMinute;
  local.tm_sec = now.wSecond;
  const std::string version = NextActiveSetupVersion(key.String("Version"), local);
  if (product.empty()) {
    key.Remove("Product");  // an NSIS installation replaced an MSI one
  }
  const bool written = key.SetString(nullptr, "VentrelConf (" + brand_folder + ")") &&
                       key.SetString("StubPath", Quoted(step_path), REG_EXPAND_SZ) &&
                       key.SetString("Version", version) &&
                       (product.empty() || key.SetString("Product", product)) &&
                       key.SetNumber("IsInstalled", 1);
  outcome.log.push_back((written ? "registered HKLM\\" : "could not register HKLM\\") + name +
                        ", Version " + version);
  return written;
}

bool ActiveSetupRegistered(const std::string& step_path, const std::string& brand_folder) {
  const RegistryKey key(HKEY_LOCAL_MACHINE, ActiveSetupKey(brand_folder), false, KEY_QUERY_VALUE);
  return !key.String("Version").empty() &&
         PathsEqualIgnoringCase(key.String("StubPath"), Quoted(step_path));
}

// With every_logon the step runs at every logon of every user (HKLM's Run key), so that a board
// file that roams in from another PC is brought to this PC's model.
bool SetEveryLogon(const std::string& step_path, const std::string& brand, bool every_logon,
                   ProvisioningOutcome& outcome) {
  const RegistryKey run(HKEY_LOCAL_MACHINE, kRunKey, true, KEY_SET_VALUE);
  const bool done = every_logon ? run.SetString(ComponentName(brand).c_str(), Quoted(step_path))
                                : run.Remove(ComponentName(brand).c_str());
  if (!done || every_logon) {
    outcome.log.push_back(std::string(done ? "" : "could not ") +
                          "run the step at every logon of every user");
  }
  return done;
}

// A step that failed for this user runs again at their next logon; one that succeeded does not.
void RetryAtNextLogon(const std::string& step_path, bool failed, ProvisioningOutcome& outcome) {
  const std::string brand = InstalledBrandFolder(step_path);
  const RegistryKey run_once(HKEY_CURRENT_USER, kRunOnceKey, failed, KEY_SET_VALUE);
  if (brand.empty() || !run_once) {
    return;
  }
  if (!failed) {
    run_once.Remove(ComponentName(brand).c_str());
  } else if (run_once.SetString(ComponentName(brand).c_str(), Quoted(step_path))) {
    outcome.log.emplace_back("the step runs again at this user's next logon");
  }
}

// The machine's Version as recorded for this user, as Active Setup records it after a logon's run.
std::string UsersVersion(const std::string& brand) {
  return RegistryKey(HKEY_CURRENT_USER, ActiveSetupKey(brand), false, KEY_QUERY_VALUE)
      .String("Version");
}

std::string MachinesVersion(const std::string& brand) {
  return RegistryKey(HKEY_LOCAL_MACHINE, ActiveSetupKey(brand), false, KEY_QUERY_VALUE)
      .String("Version");
}

// Records for the account that ran the step what Active Setup records after a logon's run: the
// installing user, provisioned at once, is then not provisioned again at the next logon, which
// would undo a model chosen in the dialog in the meantime.
void RecordRunForUser(const std::string& step_path, ProvisioningOutcome& outcome) {
  const std::string brand = InstalledBrandFolder(step_path);
  const std::string version = brand.empty() ? std::string() : MachinesVersion(brand);
  if (version.empty()) {
    return;  // not registered (yet): nothing to record
  }
  const RegistryKey user(HKEY_CURRENT_USER, ActiveSetupKey(brand), true, KEY_SET_VALUE);
  if (user.SetString("Version", version)) {
    outcome.log.push_back("recorded Version " + version + " for this user");
  }
}

bool RemoveMachineModel(const std::string& step_path, ProvisioningOutcome& outcome) {
  const std::string model_file = MachineModelFile(step_path);
  if (!::DeleteFileW(Wide(model_file).c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND &&
      ::GetLastError() != ERROR_PATH_NOT_FOUND) {
    outcome.log.push_back(model_file + " could not be removed");
    return false;
  }
  return true;
}

// "/everylogon=0" or "=1" sets it; none (or "/everylogon=", as an MSI passes an unset property)
// keeps what was chosen before. False for anything else.
bool ParseEveryLogon(const std::vector<std::string>& options, bool& every_logon) {
  constexpr std::string_view kOption = "/everylogon=";
  for (const std::string& option : options) {
    if (option.size() < kOption.size() ||
        !EqualsIgnoreAsciiCase(std::string_view(option).substr(0, kOption.size()), kOption)) {
      return false;
    }
    const std::string_view value = std::string_view(option).substr(kOption.size());
    if (!value.empty() && value != "0" && value != "1") {
      return false;
    }
    if (!value.empty()) {
      every_logon = value == "1";
    }
  }
  return true;
}

int Register(const std::string& step_path, const std::vector<std::string>& arguments,
             const std::string& product, ProvisioningOutcome& outcome) {
  const std::string brand = InstalledBrandFolder(step_path);
  const MachineRecord recorded = brand.empty() ? MachineRecord{} : ReadMachineRecord(brand);
  MachineRecord asked{kNoModel, kProgramVersion, recorded.every_logon};
  if (arguments.size() < 2 ||
      !ParseEveryLogon({arguments.begin() + 2, arguments.end()}, asked.every_logon)) {
    outcome.log.emplace_back(
        "usage: /register 200|300|301|none [/everylogon=0|1]: nothing was changed");
    return 2;
  }
  const bool no_model = EqualsIgnoreAsciiCase(arguments[1], "none");
  asked.model = RegisteredModel(arguments[1]);
  if (!IsModel(asked.model) && !no_model) {
    outcome.log.push_back("the MODEL given, '" + arguments[1] +
                          "', is no model 200, 300 or 301: nothing was changed");
    return 1;
  }
  if (brand.empty()) {
    outcome.log.push_back("the program beside " + step_path + " is not installed");
    return 1;
  }
  const bool same = asked.model == recorded.model && asked.version == recorded.version &&
                    ActiveSetupRegistered(step_path, brand);
  if (same && asked.every_logon == recorded.every_logon) {
    outcome.log.push_back("already installed with model " + arguments[1] + ": nothing was changed");
    return 0;
  }
  if (!same) {
    if (no_model ? !RemoveMachineModel(step_path, outcome)
                 : (outcome = StoreMachineModel(step_path, asked.model)).status != 0) {
      return 1;
    }
    if (!RegisterActiveSetup(step_path, brand, product, outcome)) {
      return 1;
    }
  }
  if (!WriteMachineRecord(brand, asked)) {
    outcome.log.push_back("HKLM\\" + MachineKey(brand) + " could not be written");
    return 1;
  }
  return SetEveryLogon(step_path, brand, asked.every_logon, outcome) ? 0 : 1;
}

// The Active Setup entry, the model and the every-logon run go; the users' own files stay.
int Unregister(const std::string& step_path, const std::string& product,
               ProvisioningOutcome& outcome) {
  const std::string brand = InstalledBrandFolder(step_path);
  int status = 0;
  if (!brand.empty()) {
    const std::string name = ActiveSetupKey(brand);
    const std::string owner =
        RegistryKey(HKEY_LOCAL_MACHINE, name, false, KEY_QUERY_VALUE).String("Product");
    if (!product.empty() && !owner.empty() && !EqualsIgnoreAsciiCase(owner, product)) {
      outcome.log.push_back("HKLM\\" + name + " belongs to " + owner +
                            ", which replaced this version: kept");
      return 0;
    }
    const LSTATUS deleted =
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(name).c_str(), KEY_WOW64_64KEY, 0);
    if (deleted == ERROR_SUCCESS) {
      outcome.log.push_back("removed HKLM\\" + name);
    } else if (deleted != ERROR_FILE_NOT_FOUND) {
      outcome.log.push_back("HKLM\\" + name + " could not be removed");
      status = 1;
    }
    const RegistryKey machine(HKEY_LOCAL_MACHINE, MachineKey(brand), false, KEY_SET_VALUE);
    const RegistryKey run(HKEY_LOCAL_MACHINE, kRunKey, false, KEY_SET_VALUE);
    for (const bool removed :
         {machine.Remove(kModelValue), machine.Remove(kVersionValue),
          machine.Remove(kEveryLogonValue), run.Remove(ComponentName(brand).c_str())}) {
      status = removed ? status : 1;
    }
  }
  return RemoveMachineModel(step_path, outcome) ? status : 1;
}

}  // namespace
}  // namespace ventrel

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace ventrel;
  // Before anything can load a DLL: the step runs from a programs folder, but as every user at
  // logon, and nothing beside it may be taken for a system DLL.
  win32::TakeDllsFromTheSystemFolderOnly();
  // No box of the system's either (a missing disk, a failed load): nothing may wait for a click.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  Win32ProvisioningSystem system;
  const std::string step_path = RealFolders().ExePath();
  std::vector<std::string> arguments = SplitCommandLine(::GetCommandLineA());
  arguments.erase(arguments.begin());  // the program name

  // The installing package's own ProductCode, wherever it is given.
  std::string product;
  constexpr std::string_view kProduct = "/product=";
  std::erase_if(arguments, [&](const std::string& argument) {
    if (argument.size() < kProduct.size() ||
        !EqualsIgnoreAsciiCase(std::string_view(argument).substr(0, kProduct.size()), kProduct)) {
      return false;
    }
    product = argument.substr(kProduct.size());
    return true;
  });

  ProvisioningOutcome outcome;
  std::string what = "user";
  const bool installing =
      arguments.size() == 1 && EqualsIgnoreAsciiCase(arguments[0], "/installing");
  if (arguments.empty() || installing) {
    const std::string brand = InstalledBrandFolder(step_path);
    const bool person = WritesIntoProfileOf(system.AccountSid());
    if (installing && person && !brand.empty() && UsersVersion(brand) == MachinesVersion(brand)) {
      outcome.log.emplace_back("this user has this installation's model already: nothing to do");
    } else {
      outcome = ProvisionUser(step_path, system);
      if (person) {
        if (outcome.status == 0) {
          RecordRunForUser(step_path, outcome);
        }
        RetryAtNextLogon(step_path, outcome.status != 0, outcome);
      }
    }
  } else if (EqualsIgnoreAsciiCase(arguments[0], "/register")) {
    what = "register";
    outcome.status = Register(step_path, arguments, product, outcome);
  } else if (EqualsIgnoreAsciiCase(arguments[0], "/unregister") && arguments.size() == 1) {
    what = "unregister";
    outcome.status = Unregister(step_path, product, outcome);
  } else {
    what = "usage";
    outcome.log.emplace_back(
        "usage: VentrelConfProvision.exe [/installing | /register MODEL [/everylogon=0|1] | "
        "/unregister]");
    outcome.status = 2;
  }
  WriteLog(system, what, outcome);
  return outcome.status;
}
