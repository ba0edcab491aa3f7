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

std::string ProgramFilesFolder() {
  return Environment("ProgramFiles");
}

std::string AppDataFolder() {
  return Environment("APPDATA");
}

std::wstring Widen(const std::string& ansi) {
  const int n =
      ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), n,
                        nullptr, nullptr);
  return ansi;
}

void InstallExe(const std::string& path) {
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  ASSERT_TRUE(::CopyFileA(ExeUnderTest().c_str(), path.c_str(), FALSE))
      << "cannot copy " << ExeUnderTest() << " to " << path;
}

void RemoveTree(const std::string& path) {
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
