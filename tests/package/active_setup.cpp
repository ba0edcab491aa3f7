// Runs an Active Setup component's StubPath as Windows does at a user's logon: when the machine's
// Version differs from the one the user's hive records (or the user has none), the command line
// is expanded (environment variables), started with CreateProcess and waited for, and the Version
// is recorded for the user. Built by the package test; Wine has no logon of its own to run it.
//
//   active_setup.exe COMPONENT    exit status: the stub's; 124 when it had not ended in time
//                                 (then it is ended); 125 when it did not need to run; 126 when
//                                 it could not be started
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char kComponents[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\";
constexpr DWORD kLogonPatience = 60000;  // a step that holds up a logon longer is broken

std::string Value(HKEY root, const std::string& key, const char* name, REGSAM view) {
  char value[2048] = {};
  DWORD size = sizeof value - 1;
  if (::RegGetValueA(root, key.c_str(), name,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND | view, nullptr, value,
                     &size) != ERROR_SUCCESS) {
    return {};
  }
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: active_setup.exe COMPONENT\n");
    return 2;
  }
  const std::string key = kComponents + std::string(argv[1]);
  const std::string stub = Value(HKEY_LOCAL_MACHINE, key, "StubPath", RRF_SUBKEY_WOW6464KEY);
  const std::string version = Value(HKEY_LOCAL_MACHINE, key, "Version", RRF_SUBKEY_WOW6464KEY);
  if (stub.empty() || version == Value(HKEY_CURRENT_USER, key, "Version", 0)) {
    return 125;
  }
  char command[4096] = {};
  if (::ExpandEnvironmentStringsA(stub.c_str(), command, sizeof command) == 0) {
    return 126;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return 126;
  }
  DWORD status = 124;
  if (::WaitForSingleObject(process.hProcess, kLogonPatience) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process.hProcess, &status);
  } else {
    ::TerminateProcess(process.hProcess, 124);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  HKEY user = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &user, nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExA(user, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                     static_cast<DWORD>(version.size() + 1));
    ::RegCloseKey(user);
  }
  return static_cast<int>(status);
}
