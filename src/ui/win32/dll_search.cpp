#include "ui/win32/dll_search.h"

#include <windows.h>

namespace ventrel::win32 {

void TakeDllsFromTheSystemFolderOnly() {
  // Looked up rather than imported: Windows 7 without KB2533623 lacks it, and an import it cannot
  // resolve would stop the program from starting at all.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void (*)()>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return;
  }
  // The most such a system allows: the current folder leaves the search. The program's own folder
  // stays in it, which is why the libraries that pull in others are loaded by their full path
  // (utility/platform/folders_win32.cpp).
  ::SetDllDirectoryW(L"");
}

}  // namespace ventrel::win32
