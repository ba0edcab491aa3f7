// File I/O on Windows.
#include <windows.h>

#include <string>

#include "utility/file_store.h"
#include "utility/path.h"

namespace ventrel {
namespace {

// Another process (the driver, a virus scanner, an editor) may hold the board file for a moment;
// a write that waits this long for it is still instant to the user.
constexpr int kBusyAttempts = 20;
constexpr DWORD kBusyPauseMs = 50;

// Attributes a replacement carries over from the file it replaces.
constexpr DWORD kInheritedAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

bool IsBusy(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH ||
         error == ERROR_INVALID_DRIVE || error == ERROR_BAD_NET_NAME;
}

// Opens for reading, waiting a little while another process holds the file exclusively.
HANDLE OpenForReading(const std::string& path, DWORD& error) {
  for (int attempt = 1;; ++attempt) {
    const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    // A folder also answers "access denied"; it is no file and waiting will not make it one.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    const bool is_folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (handle != INVALID_HANDLE_VALUE || is_folder || !IsBusy(error) || attempt == kBusyAttempts) {
      return handle;
    }
    ::Sleep(kBusyPauseMs);
  }
}

bool WriteAll(HANDLE handle, const std::string& content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!::WriteFile(handle, data, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    left -= written;
  }
  return true;
}

// The file a write must really replace: the final target of a symbolic link, the path itself
// otherwise. Empty when `path` is a link that leads nowhere.
std::string ReplacementTarget(const std::string& path, DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path;
  }
  FileHandle file(::CreateFileA(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    return {};
  }
  std::string target(MAX_PATH, '\0');
  for (;;) {
    const DWORD n =
        ::GetFinalPathNameByHandleA(file.get(), target.data(), static_cast<DWORD>(target.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) {
      return {};
    }
    if (n < target.size()) {
      target.resize(n);
      break;
    }
    target.resize(n + 1);
  }
  constexpr std::string_view kLongPrefix = "\\\\?\\";
  if (target.compare(0, kLongPrefix.size(), kLongPrefix) == 0 && target.size() < MAX_PATH + 4) {
    target.erase(0, kLongPrefix.size());
    if (target.compare(0, 4, "UNC\\") == 0) {
      target.replace(0, 3, "\\");
    }
  }
  return target;
}

// A name no one else uses, for a temporary file that is created only if it does not exist yet.
std::string TemporaryName(const std::string& target, unsigned attempt) {
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  const unsigned long long tag = (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32) ^
                                 static_cast<unsigned long long>(counter.QuadPart) ^ attempt;
  char hex[17];
  for (int i = 15; i >= 0; --i) {
    hex[15 - i] = "0123456789abcdef"[(tag >> (i * 4)) & 0xF];
  }
  hex[16] = '\0';
  return PathAppend(PathFolderPart(target), "~" + PathLastComponent(target) + "." + hex + ".tmp");
}

// CREATE_NEW with no sharing: the temporary file is ours alone from its first byte, and a file
// planted under that name is never reused.
bool WriteTemporary(const std::string& target, const std::string& content, DWORD attributes,
                    std::string& temp_path) {
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    temp_path = TemporaryName(target, attempt);
    FileHandle file(::CreateFileA(temp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
      if (::GetLastError() == ERROR_FILE_EXISTS || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        continue;
      }
      return false;
    }
    const bool ok = WriteAll(file.get(), content) && ::FlushFileBuffers(file.get()) != 0;
    if (!file.Close() || !ok) {
      ::DeleteFileA(temp_path.c_str());
      return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kInheritedAttributes) != 0) {
      ::SetFileAttributesA(temp_path.c_str(), attributes & kInheritedAttributes);
    }
    return true;
  }
  return false;
}

// Renames over the target, waiting a little while another process holds it open.
bool MoveOver(const std::string& temp_path, const std::string& target) {
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExA(temp_path.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    if (!IsBusy(::GetLastError()) || attempt == kBusyAttempts) {
      return false;
    }
    ::Sleep(kBusyPauseMs);
  }
}

}  // namespace

bool IsExistingFile(const std::string& path) {
  const DWORD attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  if (path.empty()) {
    return ReadResult::kMissing;
  }
  DWORD error = ERROR_SUCCESS;
  FileHandle file(OpenForReading(path, error));
  if (!file.valid()) {
    return IsMissing(error) ? ReadResult::kMissing : ReadResult::kFailed;
  }
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.get(), &size)) {
    content.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  char buffer[64 * 1024];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
      content.clear();
      return ReadResult::kFailed;
    }
    if (n == 0) {
      return ReadResult::kOk;
    }
    content.append(buffer, n);
  }
}

bool ReplaceWholeFile(const std::string& path, const std::string& content) {
  const DWORD link_attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
  const std::string target = ReplacementTarget(path, link_attributes);
  if (target.empty()) {
    return false;
  }
  const DWORD attributes = ::GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (!IsMissing(::GetLastError())) {
      return false;
    }
  } else if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return false;  // a read-only file stays as it is, whoever asks
  }
  std::string temp_path;
  if (!WriteTemporary(target, content, attributes, temp_path)) {
    return false;
  }
  if (!MoveOver(temp_path, target)) {
    ::DeleteFileA(temp_path.c_str());
    return false;
  }
  return true;
}

}  // namespace ventrel
