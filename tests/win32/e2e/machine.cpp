#include "e2e/machine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace ventrel::e2e {
namespace {

std::string ModuleFolder() {
  char path[MAX_PATH * 4] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, n);
  return folder.substr(0, folder.find_last_of('\\'));
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::string Catalogue(const std::string& tag, const std::string& manufacturer) {
  std::string text;
  if (!manufacturer.empty()) {
    text += "[Model]\r\nManufacturer=" + manufacturer + "\r\n";
  }
  text += "[VentrelV1]\r\nDISPLAY=2D " + tag + "\r\n";
  text += "[Ventrel3DV1]\r\nDISPLAY=3D v1 " + tag + "\r\n";
  text += "[Ventrel3DV2]\r\nDISPLAY=3D v2 " + tag + "\r\n";
  return text;
}

std::string ExeUnderTest() {
  char full[MAX_PATH * 4] = {};
  const std::string relative = ModuleFolder() + "\\" + VENTREL_EXE_FROM_TESTS;
  ::GetFullPathNameA(relative.c_str(), sizeof full, full, nullptr);
  return full;
}

std::string StepUnderTest() {
  const std::string exe = ExeUnderTest();
  return exe.substr(0, exe.find_last_of('\\')) + "\\VentrelConfProvision.exe";
}

std::vector<std::string> ProgramFilesFolders() {
  // A 32-bit process is told the 32-bit folder as ProgramFiles, and the 64-bit one only here.
  const std::string native = Environment("ProgramW6432");
  std::vector<std::string> folders{native.empty() ? Environment("ProgramFiles") : native};
  const std::string x86 = Environment("ProgramFiles(x86)");
  if (!x86.empty() && x86 != folders.front()) {
    folders.push_back(x86);
  }
  return folders;
}

std::string AppDataFolder() {
  return Environment("APPDATA");
}

bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring Widen(const std::string& ansi) {
  const int n =
      ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return wide;
}

namespace {

// The text in the given code page: the ANSI one, or UTF-8.
std::string FromWide(const std::wstring& wide, UINT code_page) {
  const int n = ::WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
  return text;
}

}  // namespace

std::string Narrow(const std::wstring& wide) {
  return FromWide(wide, CP_ACP);
}

std::string Utf8(const std::wstring& wide) {
  return FromWide(wide, CP_UTF8);
}

void InstallExe(const std::string& path) {
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  ASSERT_TRUE(::CopyFileA(ExeUnderTest().c_str(), path.c_str(), FALSE))
      << "cannot copy " << ExeUnderTest() << " to " << path;
}

void RemoveTree(const std::string& path) {
  RemoveTree(Widen(path));
}

void RemoveTree(const std::wstring& path) {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(path, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(path, ignored);
}

uitest::AppProcess Start(const std::string& exe, const std::string& arguments) {
  return Start(Widen(exe), Widen(arguments));
}

uitest::AppProcess Start(const std::wstring& exe, const std::wstring& arguments) {
  std::wstring line = L"\"" + exe + L"\"";
  if (!arguments.empty()) {
    line += L" " + arguments;
  }
  auto process = uitest::AppProcess::Start(exe, line);
  if (!process) {
    ADD_FAILURE() << "cannot start " << Narrow(exe);
    std::abort();  // nothing below can run without the program
  }
  return std::move(*process);
}

namespace {

// A window station without WSF_VISIBLE and a desktop in it, made once and kept for the test
// program's life; returns its "station\\desktop" name.
const std::wstring& HiddenDesktop() {
  static const std::wstring name = [] {
    const wchar_t kStation[] = L"VentrelUnattended";
    const HWINSTA station = ::CreateWindowStationW(kStation, 0, WINSTA_ALL_ACCESS, nullptr);
    const HWINSTA own = ::GetProcessWindowStation();
    if (station == nullptr || !::SetProcessWindowStation(station)) {
      ADD_FAILURE() << "cannot make a window station: " << ::GetLastError();
      return std::wstring();
    }
    const HDESK desktop = ::CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ::SetProcessWindowStation(own);
    if (desktop == nullptr) {
      ADD_FAILURE() << "cannot make a desktop: " << ::GetLastError();
      return std::wstring();
    }
    return std::wstring(kStation) + L"\\Default";
  }();
  return name;
}

std::string ReadAll(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    text.append(buffer, n);
  }
  return text;
}

}  // namespace

UnattendedRun RunUnattended(const std::string& exe, const std::string& arguments,
                            DWORD kill_after_ms) {
  UnattendedRun run;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (HiddenDesktop().empty() || !::CreatePipe(&read_end, &write_end, &inheritable, 0)) {
    ADD_FAILURE() << "cannot set up an unattended run";
    return run;
  }
  ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::wstring line = L"\"" + Widen(exe) + L"\"";
  if (!arguments.empty()) {
    line += L" " + Widen(arguments);
  }
  {
    auto process = uitest::AppProcess::Start(Widen(exe), line, {HiddenDesktop(), write_end});
    ::CloseHandle(write_end);  // the pipe ends when the program's copy goes
    if (!process) {
      ADD_FAILURE() << "cannot start " << exe;
      ::CloseHandle(read_end);
      return run;
    }
    DWORD code = 0;
    run.ended = process->WaitForExit(code, kill_after_ms);
    run.exit_code = code;
  }  // a program that did not end is ended here, so the read below cannot wait for ever
  run.standard_error = ReadAll(read_end);
  ::CloseHandle(read_end);
  return run;
}

std::vector<std::string> SilentRun::Texts() const {
  std::vector<std::string> texts;
  for (const auto& box : boxes) {
    texts.push_back(box.text);
  }
  return texts;
}

SilentRun RunToTheEnd(uitest::AppProcess& process) {
  SilentRun run;
  for (int guard = 0; guard < 10; ++guard) {
    if (process.WaitForDialog(0) != nullptr) {
      run.dialog_shown = true;
      break;
    }
    DWORD code = 0;
    if (process.WaitForExit(code, 0)) {
      run.exit_code = code;
      run.ended = true;
      return run;
    }
    const auto box = process.WaitForMessageBox(200);
    if (box) {
      run.boxes.push_back(*box);
      uitest::PressBoxOk(*box);
    }
  }
  DWORD code = 0;
  run.ended = !run.dialog_shown && process.WaitForExit(code, 10000);
  run.exit_code = code;
  return run;
}

SilentRun FinishRun(uitest::AppProcess& process) {
  SilentRun run;
  const ULONGLONG end = ::GetTickCount64() + 10000;
  while (::GetTickCount64() < end) {
    DWORD code = 0;
    if (process.WaitForExit(code, 0)) {
      run.exit_code = code;
      run.ended = true;
      return run;
    }
    if (const auto box = process.WaitForMessageBox(100)) {
      run.boxes.push_back(*box);
      uitest::PressBoxOk(*box);
    }
  }
  return run;
}

HWND WaitForDialogPastBoxes(uitest::AppProcess& process,
                            std::vector<uitest::MessageBoxInfo>* boxes) {
  for (int guard = 0; guard < 100; ++guard) {
    if (HWND dialog = process.WaitForDialog(0)) {
      return dialog;
    }
    DWORD code = 0;
    if (process.WaitForExit(code, 0)) {
      return nullptr;
    }
    if (const auto box = process.WaitForMessageBox(100)) {
      if (boxes != nullptr) {
        boxes->push_back(*box);
      }
      uitest::PressBoxOk(*box);
    }
  }
  return nullptr;
}

}  // namespace ventrel::e2e
