#include "ui/win32/dll_search.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace ventrel::win32 {
namespace {

std::string OwnFolder() {
  char path[MAX_PATH * 4] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string self(path, n);
  return self.substr(0, self.find_last_of('\\'));
}

// Two copies of the planting marker beside this test program, under names no system has, asked
// for by name before and after the search is restricted. The restriction stays for this process:
// what the tests load after it comes from the system folder or by full path.
TEST(DllSearchTest, ADllBesideTheProgramIsNoLongerFoundByName) {
  const std::string marker = OwnFolder() + "\\" + VENTREL_MARKER_DLL_FROM_TESTS;
  const std::string before = OwnFolder() + "\\ventrel_probe_before.dll";
  const std::string after = OwnFolder() + "\\ventrel_probe_after.dll";
  ASSERT_TRUE(::CopyFileA(marker.c_str(), before.c_str(), FALSE)) << marker;
  ASSERT_TRUE(::CopyFileA(marker.c_str(), after.c_str(), FALSE));

  const HMODULE found_before = ::LoadLibraryA("ventrel_probe_before.dll");
  EXPECT_NE(found_before, nullptr) << "by default the program's own folder is searched first";
  ::FreeLibrary(found_before);

  TakeDllsFromTheSystemFolderOnly();
  const HMODULE found_after = ::LoadLibraryA("ventrel_probe_after.dll");
  EXPECT_EQ(found_after, nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  ::FreeLibrary(found_after);
  const HMODULE system = ::LoadLibraryA("msimg32.dll");
  EXPECT_NE(system, nullptr) << "the system's own are still found";
  ::FreeLibrary(system);

  for (const std::string& file : {before, after, before + ".ran", after + ".ran"}) {
    ::DeleteFileA(file.c_str());
  }
}

}  // namespace
}  // namespace ventrel::win32
