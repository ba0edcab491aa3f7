// VentrelConfProvision.exe, installed beside VentrelConf.exe: the per-user step and its Active
// Setup registration. It never shows a window and always ends; what it did goes into a log.
//
//   VentrelConfProvision.exe                      the step for the account it runs as
//   VentrelConfProvision.exe /register [MODEL]    as an administrator: keep MODEL (or none) for
//                                                 every user; Active Setup runs the step at logon
//   VentrelConfProvision.exe /unregister          as an administrator: undo /register
//
// The MSI adds /product=<its ProductCode> to both: an upgrade removes the older version after the
// newer one registered, and the older one's /unregister then leaves the newer one's entry alone.
//
// Exit status: 0 done (or, as LocalSystem, left to each user's logon), 1 not, 2 a usage error.
#include <windows.h>
//
#include <knownfolders.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "provision/provisioning.h"
#include "utility/platform/code_page_win32.h"
#include "utility/platform/folders.h"
#include "utility/platform/path.h"
#include "utility/text.h"

namespace ventrel {
namespace {

constexpr const char kActiveSetupKey[] =
    "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\";
constexpr const char kLogFolder[] = "VentrelConf";
constexpr const char kLogFile[] = "Provisioning.log";
// A log that grew this large starts again: the step runs at every logon of every user.
constexpr LONGLONG kLongestLog = 1 << 20;

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

  bool CreateFolders(const std::string& path) override {
    ::SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
};

std::string LocalAppData() {
  PWSTR wide = nullptr;
  std::string path;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &wide)) &&
      !CodePageFromWide(CP_ACP, wide, path)) {
    path.clear();
  }
  ::CoTaskMemFree(wide);
  return path;
}

// The user's local application data; for a service account, which has no user, the system's
// temporary folder, so that nothing is written into that account's own profile.
std::string LogPath(Win32ProvisioningSystem& system) {
  if (!WritesIntoProfileOf(system.AccountSid())) {
    std::string temp(MAX_PATH + 1, '\0');
    const DWORD n = ::GetTempPathA(static_cast<DWORD>(temp.size()), temp.data());
    if (n == 0 || n >= temp.size()) {
      return {};
    }
    temp.resize(n);
    return PathAppend(temp, "VentrelConf-Provisioning.log");
  }
  const std::string local = LocalAppData();
  if (local.empty()) {
    return {};
  }
  const std::string folder = PathAppend(local, kLogFolder);
  return system.CreateFolders(folder) ? PathAppend(folder, kLogFile) : std::string();
}

// Appends the lines, each after the time and what ran. A log that cannot be written is no reason
// to fail the step.
void WriteLog(Win32ProvisioningSystem& system, const std::string& what,
              const ProvisioningOutcome& outcome) {
  const std::string path = LogPath(system);
  if (path.empty()) {
    return;
  }
  const HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
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

std::string ReadString(HKEY key, const char* name) {
  char value[256] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return std::string(value, ::strnlen(value, size));
}

bool SetString(HKEY key, const char* name, DWORD type, const std::string& value) {
  return ::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// One component per brand: installing another brand's package leaves this one's alone.
std::string ActiveSetupKey(const std::string& brand_folder) {
  return kActiveSetupKey + std::string("VentrelConf ") + brand_folder;
}

// StubPath names this executable; Version is raised at every installation, so that the step
// runs once more for every user at the next logon, with the model just chosen.
bool RegisterActiveSetup(const std::string& step_path, const std::string& brand_folder,
                         const std::string& product, ProvisioningOutcome& outcome) {
  const std::string name = ActiveSetupKey(brand_folder);
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
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
  const std::string version = NextActiveSetupVersion(ReadString(key, "Version"), local);
  const DWORD installed = 1;
  if (product.empty()) {
    ::RegDeleteValueA(key, "Product");  // an NSIS installation replaced an MSI one
  }
  const bool written =
      SetString(key, nullptr, REG_SZ, "VentrelConf (" + brand_folder + ")") &&
      SetString(key, "StubPath", REG_EXPAND_SZ, "\"" + step_path + "\"") &&
      SetString(key, "Version", REG_SZ, version) &&
      (product.empty() || SetString(key, "Product", REG_SZ, product)) &&
      ::RegSetValueExA(key, "IsInstalled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&installed),
                       sizeof installed) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  outcome.log.push_back((written ? "registered HKLM\\" : "could not register HKLM\\") + name +
                        ", Version " + version);
  return written;
}

// Records for the account that ran the step what Active Setup records after a logon's run: the
// installing user, provisioned at once, is then not provisioned again at the next logon, which
// would undo a model chosen in the dialog in the meantime.
void RecordRunForUser(const std::string& step_path, ProvisioningOutcome& outcome) {
  const std::string brand = InstalledBrandFolder(step_path);
  HKEY machine = nullptr;
  if (brand.empty() ||
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, ActiveSetupKey(brand).c_str(), 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &machine) != ERROR_SUCCESS) {
    return;  // not registered (yet): nothing to record
  }
  const std::string version = ReadString(machine, "Version");
  ::RegCloseKey(machine);
  HKEY user = nullptr;
  if (version.empty() ||
      ::RegCreateKeyExA(HKEY_CURRENT_USER, ActiveSetupKey(brand).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &user, nullptr) != ERROR_SUCCESS) {
    return;
  }
  if (SetString(user, "Version", REG_SZ, version)) {
    outcome.log.push_back("recorded Version " + version + " for this user");
  }
  ::RegCloseKey(user);
}

bool RemoveMachineModel(const std::string& step_path, ProvisioningOutcome& outcome) {
  const std::string model_file = MachineModelFile(step_path);
  if (!::DeleteFileA(model_file.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND &&
      ::GetLastError() != ERROR_PATH_NOT_FOUND) {
    outcome.log.push_back(model_file + " could not be removed");
    return false;
  }
  return true;
}

int Register(const std::string& step_path, const std::vector<std::string>& arguments,
             const std::string& product, ProvisioningOutcome& outcome) {
  if (arguments.size() > 2) {
    outcome.log.emplace_back("usage: /register [200|300|301]");
    return 2;
  }
  if (arguments.size() == 2) {
    const ModelCode code = ConvertModelArgument(arguments[1]);
    outcome = StoreMachineModel(step_path, code);
    if (outcome.status != 0) {
      return outcome.status;
    }
  } else if (!RemoveMachineModel(step_path, outcome)) {
    return 1;  // no model chosen this time: none is kept, and no user's model is changed
  }
  const std::string brand = InstalledBrandFolder(step_path);
  if (brand.empty()) {
    outcome.log.push_back("the program beside " + step_path + " is not installed");
    return 1;
  }
  return RegisterActiveSetup(step_path, brand, product, outcome) ? 0 : 1;
}

// The Active Setup entry and the model go; the users' own files stay.
int Unregister(const std::string& step_path, const std::string& product,
               ProvisioningOutcome& outcome) {
  const std::string brand = InstalledBrandFolder(step_path);
  int status = 0;
  if (!brand.empty()) {
    const std::string name = ActiveSetupKey(brand);
    HKEY key = nullptr;
    std::string owner;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                        &key) == ERROR_SUCCESS) {
      owner = ReadString(key, "Product");
      ::RegCloseKey(key);
    }
    if (!product.empty() && !owner.empty() && !EqualsIgnoreAsciiCase(owner, product)) {
      outcome.log.push_back("HKLM\\" + name + " belongs to " + owner +
                            ", which replaced this version: kept");
      return 0;
    }
    const LSTATUS deleted = ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), KEY_WOW64_64KEY, 0);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
      outcome.log.push_back("HKLM\\" + name + " could not be removed");
      status = 1;
    } else {
      outcome.log.push_back("removed HKLM\\" + name);
    }
  }
  return RemoveMachineModel(step_path, outcome) ? status : 1;
}

}  // namespace
}  // namespace ventrel

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace ventrel;
  // No box of the system's either (a missing disk, a failed load): nothing may wait for a click.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
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
  if (arguments.empty()) {
    outcome = ProvisionUser(step_path, system);
    if (outcome.status == 0 && WritesIntoProfileOf(system.AccountSid())) {
      RecordRunForUser(step_path, outcome);
    }
  } else if (EqualsIgnoreAsciiCase(arguments[0], "/register")) {
    what = "register";
    outcome.status = Register(step_path, arguments, product, outcome);
  } else if (EqualsIgnoreAsciiCase(arguments[0], "/unregister") && arguments.size() == 1) {
    what = "unregister";
    outcome.status = Unregister(step_path, product, outcome);
  } else {
    what = "usage";
    outcome.log.emplace_back("usage: VentrelConfProvision.exe [/register [MODEL] | /unregister]");
    outcome.status = 2;
  }
  WriteLog(system, what, outcome);
  if (com) {
    ::CoUninitialize();
  }
  return outcome.status;
}
