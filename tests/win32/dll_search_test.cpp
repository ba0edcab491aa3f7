#include "ui/win32/dll_search.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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
// for by name before and after the search is restricted. The restriction cannot be undone, so it
// is made in a child process of its own (a death test's), which tells on its standard error what
// it found; the tests that follow in this one keep the default search.
TEST(DllSearchTest, ADllBesideTheProgramIsNoLongerFoundByName) {
  const std::string marker = OwnFolder() + "\\" + VENTREL_MARKER_DLL_FROM_TESTS;
  const std::string before = OwnFolder() + "\\ventrel_probe_before.dll";
  const std::string after = OwnFolder() + "\\ventrel_probe_after.dll";
  ASSERT_TRUE(::CopyFileA(marker.c_str(), before.c_str(), FALSE)) << marker;
  ASSERT_TRUE(::CopyFileA(marker.c_str(), after.c_str(), FALSE));

  const HMODULE found_before = ::LoadLibraryA("ventrel_probe_before.dll");
  EXPECT_NE(found_before, nullptr) << "by default the program's own folder is searched first";
  ::FreeLibrary(found_before);

  EXPECT_EXIT(
      {
        TakeDllsFromTheSystemFolderOnly();
        const bool found_after = ::LoadLibraryA("ventrel_probe_after.dll") != nullptr;
        const DWORD error = ::GetLastError();
        const bool system = ::LoadLibraryA("msimg32.dll") != nullptr;
        std::fprintf(stderr, "beside: %s, error %lu; the system's own: %s\n",
                     found_after ? "found" : "not found", static_cast<unsigned long>(error),
                     system ? "found" : "not found");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "beside: not found, error 126; the system's own: found");

  const HMODULE found_again = ::LoadLibraryA("ventrel_probe_after.dll");
  EXPECT_NE(found_again, nullptr) << "this process's search is as it was";
  ::FreeLibrary(found_again);

  for (const std::string& file : {before, after, before + ".ran", after + ".ran"}) {
    ::DeleteFileA(file.c_str());
  }
}

}  // namespace
}  // namespace ventrel::win32
