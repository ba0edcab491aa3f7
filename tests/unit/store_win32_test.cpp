// What only Windows has: file attributes, sharing modes and their links.
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/store_support.h"
#include "support/temp_dir.h"
#include "utility/store/file_store.h"

namespace ventrel {
namespace {

// Holds a file open the way another program may: without letting anyone replace or delete it.
class FileHolder {
 public:
  FileHolder(const std::string& path, DWORD share)
      : handle_(::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  ~FileHolder() { Release(); }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      released_ = true;  // before the handle goes: nothing can get past the hold earlier
      ::CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
  }
  bool released() const { return released_; }

 private:
  HANDLE handle_;
  std::atomic<bool> released_{false};
};

// Long enough that the first attempts are refused, well inside the second or so a writer and a
// reader wait.
constexpr DWORD kShortHoldMs = 200;

TEST(FileStoreWin32Test, ReadOnlyAttributeIsRefused) {
  test::TempDir dir;
  const std::string board = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(board, "old");
  ASSERT_TRUE(::SetFileAttributesA(board.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ReplaceWholeFile(board, "new").failure, WriteFailure::kNoPermission);
  EXPECT_EQ(test::ReadFile(board), "old");
  EXPECT_EQ(test::ListFolder(dir.path()), "VENTREL_DLL.INI");
  ::SetFileAttributesA(board.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileStoreWin32Test, ReplacementKeepsHiddenAndSystem) {
  test::TempDir dir;
  const std::string board = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(board, "old");
  ASSERT_TRUE(::SetFileAttributesA(board.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(ReplaceWholeFile(board, "new"));
  EXPECT_EQ(test::ReadFile(board), "new");
  const DWORD attributes = ::GetFileAttributesA(board.c_str());
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_SYSTEM, 0u);
  ::SetFileAttributesA(board.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The exact interleaving is held over the file system in memory; on the real one the holder lets
// go while the writer retries.
TEST(FileStoreWin32Test, ReplaceWaitsForAShortHold) {
  test::TempDir dir;
  const std::string board = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(board, "old");
  FileHolder holder(board, FILE_SHARE_READ);
  ASSERT_TRUE(holder.valid());
  std::thread release([&holder] {
    ::Sleep(kShortHoldMs);
    holder.Release();
  });
  const bool replaced = ReplaceWholeFile(board, "new");
  EXPECT_TRUE(holder.released()) << "replaced while the file was still held";
  release.join();
  EXPECT_TRUE(replaced);
  EXPECT_EQ(test::ReadFile(board), "new");
  EXPECT_EQ(test::ListFolder(dir.path()), "VENTREL_DLL.INI");
}

TEST(FileStoreWin32Test, ReplaceGivesUpOnALongHold) {
  test::TempDir dir;
  const std::string board = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(board, "old");
  {
    FileHolder holder(board, FILE_SHARE_READ);
    ASSERT_TRUE(holder.valid());
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(ReplaceWholeFile(board, "new").failure, WriteFailure::kHeldOpen);
    EXPECT_LT(::GetTickCount64() - start, 5000u) << "the wait is brief";
  }
  EXPECT_EQ(test::ReadFile(board), "old");
  EXPECT_EQ(test::ListFolder(dir.path()), "VENTREL_DLL.INI") << "no temporary file is left";
}

// The profile functions write a file that another program holds open but shares for writing; so
// must we, in place, and the driver must read what we wrote.
TEST(FileStoreWin32Test, FileHeldOpenForSharedWritingIsWrittenInPlace) {
  for (const DWORD share : {DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE},
                            DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
    test::TempDir dir;
    const std::string board = dir.Path("VENTREL_DLL.INI");
    test::WriteFile(board, "[BOARD]\r\nTYPE_SUB=300\r\nTYPE=300\r\n");
    FileHolder holder(board, share);
    ASSERT_TRUE(holder.valid());
    ASSERT_TRUE(ReplaceWholeFile(board, "[BOARD]\r\nTYPE=200\r\n")) << share;
    char value[16] = {};
    ::GetPrivateProfileStringA("BOARD", "TYPE", "", value, sizeof value, board.c_str());
    EXPECT_STREQ(value, "200") << share;
    ::GetPrivateProfileStringA("BOARD", "TYPE_SUB", "", value, sizeof value, board.c_str());
    EXPECT_STREQ(value, "") << share;
    EXPECT_EQ(test::ReadFile(board), "[BOARD]\r\nTYPE=200\r\n") << share;
    // A holder that shares deletion keeps the name of our link to the file until it lets go.
    holder.Release();
    EXPECT_EQ(test::ListFolder(dir.path()), "VENTREL_DLL.INI") << share;
  }
}

std::string DaclOf(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  char* text = nullptr;
  std::string dacl;
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    dacl = text;
    ::LocalFree(text);
  }
  ::LocalFree(descriptor);
  return dacl;
}

TEST(FileStoreWin32Test, ReplacementKeepsTheAccessControlList) {
  test::TempDir dir;
  const std::string board = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(board, "old");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)", SDDL_REVISION_1, &descriptor, nullptr));
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  const DWORD set =
      ::SetNamedSecurityInfoA(const_cast<char*>(board.c_str()), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl, nullptr);
  ::LocalFree(descriptor);
  const std::string before = DaclOf(board);
  if (set != ERROR_SUCCESS || before.find("D:P") == std::string::npos) {
    GTEST_SKIP() << "this system keeps no access-control list on its files (" << set << ", "
                 << before << ")";
  }
  ASSERT_TRUE(ReplaceWholeFile(board, "new"));
  EXPECT_EQ(test::ReadFile(board), "new");
  EXPECT_EQ(DaclOf(board), before);
}

TEST(FileStoreWin32Test, ReadWaitsForAnExclusiveHold) {
  test::TempDir dir;
  const std::string board = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(board, "content");
  FileHolder holder(board, 0);
  ASSERT_TRUE(holder.valid());
  std::thread release([&holder] {
    ::Sleep(kShortHoldMs);
    holder.Release();
  });
  std::string content;
  const ReadResult result = ReadWholeFile(board, content);
  EXPECT_TRUE(holder.released()) << "read while the file was still held";
  release.join();
  EXPECT_EQ(result, ReadResult::kOk);
  EXPECT_EQ(content, "content");
}

TEST(FileStoreWin32Test, MissingAndUnreadableAreToldApart) {
  test::TempDir dir;
  std::string content;
  const struct {
    std::string path;
    ReadResult expected;
  } cases[] = {
      {dir.Path("absent.ini"), ReadResult::kMissing},
      {dir.Path("absent\\below.ini"), ReadResult::kMissing},
      {"Q:\\no-such-drive\\x.ini", ReadResult::kMissing},
      {dir.path(), ReadResult::kFailed},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadWholeFile(c.path, content), c.expected) << c.path;
  }
}

TEST(FileStoreWin32Test, SymbolicLinkIsFollowed) {
  test::TempDir dir;
  const std::string target = dir.Path("real\\VENTREL_DLL.INI");
  const std::string link = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(target, "old");
  if (!::CreateSymbolicLinkA(link.c_str(), target.c_str(), 0)) {
    GTEST_SKIP() << "this system makes no symbolic links (error " << ::GetLastError() << ")";
  }
  const DWORD attributes = ::GetFileAttributesA(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
      test::ReadFile(link) != "old") {
    // Wine 8 reports success but makes a link that leads nowhere, or one it shows as a plain
    // file: there is no working link to follow.
    GTEST_SKIP() << "this system makes no working symbolic links";
  }
  ASSERT_TRUE(ReplaceWholeFile(link, "new"));
  EXPECT_EQ(test::ReadFile(target), "new");
  EXPECT_NE(::GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u)
      << "the link itself stays a link";
}

// The driver's profile functions rewrite the file in place while our writer reads it: our edit is
// made again on what the driver wrote, and both keys are there.
TEST(FileStoreWin32Test, ProfileWriteDuringAnUpdateIsKept) {
  test::TempDir dir;
  const std::string board = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(board, "[BOARD]\r\nTYPE=200\r\n");
  int calls = 0;
  ASSERT_TRUE(UpdateWholeFile(board, [&](std::string& content) {
    if (++calls == 1) {
      EXPECT_TRUE(::WritePrivateProfileStringA("DRIVER", "STATE", "busy", board.c_str()));
    }
    if (content.find("OURS=1") != std::string::npos) {
      return EditResult::kUnchanged;
    }
    content += "OURS=1\r\n";
    return EditResult::kChanged;
  }));
  EXPECT_EQ(calls, 3) << "edited again on the driver's write, then confirmed";
  char state[16] = {};
  ::GetPrivateProfileStringA("DRIVER", "STATE", "", state, sizeof state, board.c_str());
  EXPECT_STREQ(state, "busy");
  EXPECT_NE(test::ReadFile(board).find("OURS=1"), std::string::npos);
  EXPECT_EQ(test::ListFolder(dir.path()), "VENTREL_DLL.INI");
}

// Our lock is no lock on the file: the driver reads and writes it while a writer of ours holds the
// lock.
TEST(FileStoreWin32Test, DriverWorksWhileTheLockIsHeld) {
  test::TempDir dir;
  const std::string board = dir.Path("VENTREL_DLL.INI");
  test::WriteFile(board, "[BOARD]\r\nTYPE=200\r\n");
  int calls = 0;
  ASSERT_TRUE(UpdateWholeFile(board, [&](std::string&) {
    if (++calls == 1) {
      EXPECT_EQ(::GetPrivateProfileIntA("BOARD", "TYPE", -1, board.c_str()), 200u);
      EXPECT_TRUE(::WritePrivateProfileStringA("BOARD", "TYPE", "300", board.c_str()));
    }
    return EditResult::kUnchanged;
  }));
  EXPECT_EQ(::GetPrivateProfileIntA("BOARD", "TYPE", -1, board.c_str()), 300u);
}

// Paths beyond 260 characters, and names beyond ASCII (paths are UTF-8): of the ANSI code page and
// beyond it.
TEST(FileStoreWin32Test, LongAndNonAsciiPathsWork) {
  test::TempDir dir;
  std::string folder = dir.path();
  while (folder.size() < 300) {
    folder += "\\a-folder-name-of-some-length";
  }
  for (std::size_t at = dir.path().size() + 1; at <= folder.size(); ++at) {
    if (at == folder.size() || folder[at] == '\\') {
      const std::string made = folder.substr(0, at);
      const std::wstring wide(made.begin(), made.end());  // ASCII: the "A" calls stop at 260
      ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + wide).c_str(), nullptr)) << made;
    }
  }
  for (const std::string& name : {std::string("VENTREL_DLL.INI"), std::string("Caf\xC3\xA9.ini"),
                                  std::string("\xC5\x81ukasz.ini")}) {
    const std::string board = folder + "\\" + name;
    ASSERT_TRUE(ReplaceWholeFile(board, "[BOARD]\r\nTYPE=200\r\n")) << name;
    EXPECT_TRUE(IsExistingFile(board));
    ASSERT_TRUE(ReplaceWholeFile(board, "[BOARD]\r\nTYPE=300\r\n")) << name;
    std::string content;
    ASSERT_EQ(ReadWholeFile(board, content), ReadResult::kOk) << name;
    EXPECT_EQ(content, "[BOARD]\r\nTYPE=300\r\n");
  }
}

}  // namespace
}  // namespace ventrel
