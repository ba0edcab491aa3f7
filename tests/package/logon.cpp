// A user's logon as Windows runs one, for the package test (Wine has no logon of its own):
// - Active Setup, in the registry's 64-bit view and then its 32-bit one: each component whose
//   HKLM Version is greater than the one the user's hive records (or the user has none) has its
//   StubPath expanded, started and waited for, and the Version is then recorded for the user,
//   whatever the stub returned;
// - then the values of HKLM's and HKCU's Run keys, and of HKCU's RunOnce key, each RunOnce value
//   deleted before it runs.
// Each command run is printed with its exit status.
//
//   logon.exe [HELD_FILE]    exit status: 0; 1 when a command could not be started or did not end
//                            in time (then it is ended). HELD_FILE is held open, sharing nothing,
//                            throughout, as a driver holding the board file would.
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr char kComponents[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components";
constexpr char kRun[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr DWORD kLogonPatience = 60000;  // a step that holds up a logon longer is broken

std::string Value(HKEY root, const std::string& key, const std::string& name, REGSAM view) {
  char value[2048] = {};
  DWORD size = sizeof value - 1;
  if (::RegGetValueA(root, key.c_str(), name.c_str(),
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND | view, nullptr, value,
                     &size) != ERROR_SUCCESS) {
    return {};
  }
  return value;
}

// The names of a key's subkeys (values: false) or values (true).
std::vector<std::string> Names(HKEY root, const char* key, REGSAM view, bool values) {
  std::vector<std::string> names;
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(root, key, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) {
    return names;
  }
  char name[512];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    const LSTATUS status =
        values ? ::RegEnumValueA(opened, i, name, &size, nullptr, nullptr, nullptr, nullptr)
               : ::RegEnumKeyExA(opened, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, size);
  }
  ::RegCloseKey(opened);
  return names;
}

// Active Setup's comparison: up to four decimal parts, separated by commas.
std::array<unsigned long, 4> Parts(const std::string& version) {
  std::array<unsigned long, 4> parts{};
  std::sscanf(version.c_str(), "%lu,%lu,%lu,%lu", &parts[0], &parts[1], &parts[2], &parts[3]);
  return parts;
}

bool Run(const std::string& what, const std::string& line) {
  char command[4096] = {};
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (::ExpandEnvironmentStringsA(line.c_str(), command, sizeof command) == 0 ||
      !::CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    std::printf("%s: could not be started\n", what.c_str());
    return false;
  }
  DWORD status = 124;
  const bool ended = ::WaitForSingleObject(process.hProcess, kLogonPatience) == WAIT_OBJECT_0;
  if (ended) {
    ::GetExitCodeProcess(process.hProcess, &status);
  } else {
    ::TerminateProcess(process.hProcess, 124);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  std::printf("%s: status %lu\n", what.c_str(), status);
  return ended;
}

bool ActiveSetup(REGSAM view, const char* user_root) {
  bool ok = true;
  for (const std::string& component : Names(HKEY_LOCAL_MACHINE, kComponents, view, false)) {
    const std::string machine = std::string(kComponents) + "\\" + component;
    const std::string user = std::string(user_root) + "\\" + component;
    const std::string stub = Value(HKEY_LOCAL_MACHINE, machine, "StubPath", view);
    const std::string version = Value(HKEY_LOCAL_MACHINE, machine, "Version", view);
    const std::string recorded = Value(HKEY_CURRENT_USER, user, "Version", 0);
    if (stub.empty() || (!recorded.empty() && !(Parts(version) > Parts(recorded)))) {
      continue;
    }
    ok = Run("active setup " + component, stub) && ok;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, user.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) == ERROR_SUCCESS) {
      ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                       static_cast<DWORD>(version.size() + 1));
      ::RegCloseKey(key);
    }
  }
  return ok;
}

bool RunKey(HKEY root, const char* key, const char* what, bool once) {
  bool ok = true;
  for (const std::string& name : Names(root, key, 0, true)) {
    const std::string line = Value(root, key, name, 0);
    if (once) {
      ::RegDeleteKeyValueA(root, key, name.c_str());
    }
    ok = Run(std::string(what) + " " + name, line) && ok;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: logon.exe [HELD_FILE]\n");
    return 2;
  }
  const HANDLE held = argc == 2 ? ::CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr)
                                : INVALID_HANDLE_VALUE;
  bool ok = ActiveSetup(KEY_WOW64_64KEY, kComponents);
  ok = ActiveSetup(KEY_WOW64_32KEY,
                   "SOFTWARE\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components") &&
       ok;
  ok = RunKey(HKEY_LOCAL_MACHINE, kRun, "run (machine)", false) && ok;
  ok = RunKey(HKEY_CURRENT_USER, kRun, "run", false) && ok;
  ok = RunKey(HKEY_CURRENT_USER, kRunOnce, "run once", true) && ok;
  if (held != INVALID_HANDLE_VALUE) {
    ::CloseHandle(held);
  }
  std::fflush(stdout);
  return ok ? 0 : 1;
}
