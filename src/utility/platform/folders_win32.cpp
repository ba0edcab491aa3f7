// The real folders on Windows: the module's own path and the shell's known folders.
#include <windows.h>
//
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>

#include "utility/platform/code_page_win32.h"
#include "utility/platform/folders.h"
#include "utility/platform/folders_win32.h"
#include "utility/platform/path.h"

namespace ventrel {
namespace {

// Paths beyond MAX_PATH exist ("\\?\" names, long-path aware systems); the buffer grows until the
// whole name fits, up to the longest name Windows can hold.
constexpr DWORD kLongestPath = 32768;

// A path of the system's as the program carries paths, in UTF-8, which has a form for every name;
// empty for a name that is no valid UTF-16.
std::string Utf8Path(std::wstring_view wide) {
  std::string utf8;
  return CodePageFromWide(CP_UTF8, wide, utf8) ? utf8 : std::string();
}

std::string ModuleFileName() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      return {};
    }
    if (n < buffer.size()) {
      buffer.resize(n);
      return Utf8Path(buffer);
    }
    if (buffer.size() >= kLongestPath) {
      return {};  // never a cut-off path: it would name another file
    }
    buffer.resize(buffer.size() * 2);
  }
}

// shell32 and ole32 pull in DLLs that are not all KnownDLLs (shcore, among others): imported, they
// would be looked for in the program's own folder before WinMain. They are loaded here from the
// system folder, their own imports looked for there too, and kept for the process's life.
HMODULE SystemLibrary(const wchar_t* name) {
  HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) {
    return module;
  }
  // A system without the LOAD_LIBRARY_SEARCH_ flags (Windows 7 before KB2533623): by its full
  // path, whose folder the altered order searches first for the library's own imports.
  std::wstring path(MAX_PATH, L'\0');
  const UINT n = ::GetSystemDirectoryW(path.data(), MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    return nullptr;
  }
  path.resize(n);
  path += L"\\";
  path += name;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Function>
Function* SystemFunction(const wchar_t* library, const char* name) {
  const HMODULE module = SystemLibrary(library);
  if (module == nullptr) {
    return nullptr;
  }
  // Through the generic function pointer type, which converts to any other without a warning.
  return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

struct ShellFunctions {
  decltype(::SHGetKnownFolderPath)* get_known_folder_path = nullptr;
  decltype(::CoTaskMemFree)* free = nullptr;
};

const ShellFunctions& Shell() {
  static const ShellFunctions functions{
      SystemFunction<decltype(::SHGetKnownFolderPath)>(L"shell32.dll", "SHGetKnownFolderPath"),
      SystemFunction<decltype(::CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree")};
  return functions;
}

class CoTaskString {
 public:
  CoTaskString() = default;
  CoTaskString(const CoTaskString&) = delete;
  CoTaskString& operator=(const CoTaskString&) = delete;
  ~CoTaskString() { Shell().free(text_); }
  PWSTR* out() { return &text_; }
  const wchar_t* get() const { return text_; }

 private:
  PWSTR text_ = nullptr;
};

// The programs folder as the registry's 64-bit view names it: the one way a 32-bit process on
// 64-bit Windows learns the 64-bit folder, since the shell tells it only the 32-bit one. On 32-bit
// Windows there is one view, and this is the one folder.
std::string NativeProgramsFolderFromRegistry() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring value(MAX_PATH, L'\0');
  DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  const LSTATUS status = ::RegGetValueW(key, nullptr, L"ProgramFilesDir", RRF_RT_REG_SZ, nullptr,
                                        value.data(), &bytes);
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS || bytes < sizeof(wchar_t)) {
    return {};
  }
  value.resize(bytes / sizeof(wchar_t) - 1);  // without the terminating NUL
  return Utf8Path(value);
}

class Win32Folders final : public PlatformFolders {
 public:
  std::string ExePath() const override { return ModuleFileName(); }

  // 64-bit folder first, then the 32-bit one; 32-bit Windows has a single folder, which every
  // source below names.
  std::vector<std::string> ProgramsFolders() const override {
    std::vector<std::string> folders;
    for (std::string folder :
         {KnownFolder(FOLDERID_ProgramFilesX64), NativeProgramsFolderFromRegistry(),
          KnownFolder(FOLDERID_ProgramFiles), KnownFolder(FOLDERID_ProgramFilesX86)}) {
      if (!folder.empty() && std::ranges::none_of(folders, [&](const std::string& known) {
            return PathsEqualIgnoringCase(known, folder);
          })) {
        folders.push_back(std::move(folder));
      }
    }
    return folders;
  }

  std::string AppDataFolder() const override { return KnownFolder(FOLDERID_RoamingAppData); }

  std::string LocalBaseFolder() const override {
    const std::string exe = ExePath();
    return exe.empty() ? std::string() : PathFolderPart(exe);
  }
};

}  // namespace

std::string KnownFolder(REFKNOWNFOLDERID id) {
  const ShellFunctions& shell = Shell();
  if (shell.get_known_folder_path == nullptr || shell.free == nullptr) {
    return {};
  }
  CoTaskString path;
  if (FAILED(shell.get_known_folder_path(id, KF_FLAG_DEFAULT, nullptr, path.out())) ||
      path.get() == nullptr) {
    return {};
  }
  return Utf8Path(path.get());
}

const PlatformFolders& RealFolders() {
  static const Win32Folders folders;
  return folders;
}

}  // namespace ventrel
