// A DLL to plant beside a program under the names Windows looks for: whatever process loads it,
// it leaves "<its own path>.ran" beside itself, so that a test sees whose code would have run.
// Built without the C runtime, which would be one more DLL it could fail to find, and so fail to
// load and leave nothing even where it was taken.
#include <windows.h>

extern "C" BOOL WINAPI MarkerEntry(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) {
    return TRUE;
  }
  WCHAR path[MAX_PATH + 8];
  const DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    return TRUE;
  }
  ::lstrcpyW(path + n, L".ran");
  const HANDLE file =
      ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
  }
  return TRUE;
}
