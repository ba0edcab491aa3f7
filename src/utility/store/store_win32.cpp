// File I/O on Windows. Paths arrive in the ANSI code page; every call below takes them as UTF-16
// with the "\\?\" prefix, so a path is not cut at 260 characters.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "utility/store/file_store.h"
#include "utility/store/primitives.h"
#include "utility/platform/path.h"

namespace ventrel {
namespace {

using file_store::ReadOutcome;
using file_store::RunBeforeReplacementHook;
using file_store::StepOutcome;

// Another process (the driver, a virus scanner, an editor) may hold the board file for a moment;
// a write that waits this long for it is still instant to the user.
constexpr int kBusyAttempts = 20;
constexpr DWORD kBusyPauseMs = 50;

// Attributes a replacement carries over from the file it replaces.
constexpr DWORD kInheritedAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
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

// What a failed call's error tells the user.
WriteFailure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return WriteFailure::kHeldOpen;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      return WriteFailure::kNoPermission;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return WriteFailure::kDiskFull;
    default:
      return WriteFailure::kOther;
  }
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH ||
         error == ERROR_INVALID_DRIVE || error == ERROR_BAD_NET_NAME ||
         error == ERROR_NO_UNICODE_TRANSLATION;
}

// The ANSI path as a UTF-16 path that the system takes whatever its length: absolute, with the
// "\\?\" prefix (which also turns off the system's own rewriting of "." and ".." and of trailing
// dots and blanks, so the full path is made first). Empty when the text is no path.
std::wstring WidePath(const std::string& path) {
  if (path.empty()) {
    return {};
  }
  const int length = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(),
                                           static_cast<int>(path.size()), nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                        wide.data(), length);
  if (wide.find(L'\0') != std::wstring::npos || wide.rfind(L"\\\\?\\", 0) == 0) {
    return wide.find(L'\0') != std::wstring::npos ? std::wstring() : wide;
  }
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) {
      return {};
    }
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n + 1);
  }
  if (full.rfind(L"\\\\", 0) == 0) {
    return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\... -> \\?\UNC\server\share\...
  }
  return L"\\\\?\\" + full;
}

std::wstring WideFolderPart(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring WideLastComponent(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// What a reader saw of the file: enough to tell whether anyone changed or replaced it since.
struct FileIdentity {
  bool exists = false;
  BY_HANDLE_FILE_INFORMATION info{};
};

bool SameObject(const FileIdentity& a, const FileIdentity& b) {
  return a.exists && b.exists && a.info.dwVolumeSerialNumber == b.info.dwVolumeSerialNumber &&
         a.info.nFileIndexHigh == b.info.nFileIndexHigh &&
         a.info.nFileIndexLow == b.info.nFileIndexLow;
}

bool SameContent(const FileIdentity& a, const FileIdentity& b) {
  return SameObject(a, b) && a.info.nFileSizeHigh == b.info.nFileSizeHigh &&
         a.info.nFileSizeLow == b.info.nFileSizeLow &&
         ::CompareFileTime(&a.info.ftLastWriteTime, &b.info.ftLastWriteTime) == 0;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.exists == b.exists && (!a.exists || SameContent(a, b));
}

std::uint64_t SizeOf(const FileIdentity& identity) {
  return (static_cast<std::uint64_t>(identity.info.nFileSizeHigh) << 32) |
         identity.info.nFileSizeLow;
}

bool IdentityOfHandle(HANDLE handle, FileIdentity& identity) {
  identity = FileIdentity{};
  identity.exists = ::GetFileInformationByHandle(handle, &identity.info) != 0;
  return identity.exists;
}

// The file's identity as the path names it now. False only when that cannot be told.
bool IdentityOfPath(const std::wstring& path, FileIdentity& identity) {
  identity = FileIdentity{};
  FileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) {
    return IsMissing(::GetLastError());
  }
  return IdentityOfHandle(file.get(), identity);
}

// Opens an existing file with `access`, waiting a little while another process holds it
// exclusively. A folder also answers "access denied"; waiting will not make it a file.
HANDLE OpenExisting(const std::wstring& path, DWORD access, DWORD& error) {
  for (int attempt = 1;; ++attempt) {
    const HANDLE handle = ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    const bool is_folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (handle != INVALID_HANDLE_VALUE || is_folder || !IsBusy(error) || attempt == kBusyAttempts) {
      return handle;
    }
    ::Sleep(kBusyPauseMs);
  }
}

ReadOutcome ReadOnce(const std::wstring& path, std::string& content, FileIdentity& identity) {
  content.clear();
  identity = FileIdentity{};
  DWORD error = ERROR_SUCCESS;
  FileHandle file(path.empty() ? INVALID_HANDLE_VALUE : OpenExisting(path, GENERIC_READ, error));
  if (!file.valid()) {
    return path.empty() || IsMissing(error) ? ReadOutcome::kMissing : ReadOutcome::kFailed;
  }
  // A device ("NUL", "CON", a pipe) is no file: it may block or never end.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK || !IdentityOfHandle(file.get(), identity) ||
      (identity.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      SizeOf(identity) > kMaxFileSize) {
    identity = FileIdentity{};
    return ReadOutcome::kFailed;
  }
  content.reserve(static_cast<std::size_t>(SizeOf(identity)) + kEditRoom);
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) ||
        content.size() + n > kMaxFileSize) {
      content.clear();
      return ReadOutcome::kFailed;
    }
    if (n == 0) {
      break;
    }
    content.append(buffer.data(), n);
  }
  FileIdentity after;
  if (!IdentityOfHandle(file.get(), after) || !SameContent(identity, after) ||
      content.size() != SizeOf(identity)) {
    return ReadOutcome::kChanged;  // written to while we read: the bytes may be a mix
  }
  return ReadOutcome::kOk;
}

ReadResult ReadStable(const std::wstring& path, std::string& content, FileIdentity& identity) {
  return file_store::ReadUntilStable([&] { return ReadOnce(path, content, identity); }, content);
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
std::wstring ReplacementTarget(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path;
  }
  FileHandle file(::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    return {};
  }
  std::wstring target(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFinalPathNameByHandleW(file.get(), target.data(), static_cast<DWORD>(target.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) {
      return {};
    }
    if (n < target.size()) {
      target.resize(n);
      return target;
    }
    target.resize(n + 1);
  }
}

// The lock every writer of ours takes before it reads the file it will replace: a named mutex,
// one per file. It cannot be a byte-range lock (LockFileEx) on the file itself: Windows refuses to
// rename over a file that anyone holds open, so the lock would forbid the atomic replacement it
// guards; folders take no byte-range locks, and a lock file would leave a file of ours in the
// driver's folder. The system releases the mutex of a writer that was killed.
class WriterLock {
 public:
  explicit WriterLock(const std::wstring& target) {
    const std::wstring name = L"VentrelConf.Update." + NameOf(target);
    // Global: writers of every session, a service's too; where another account's mutex denies
    // us, the session's own.
    mutex_ = ::CreateMutexW(nullptr, FALSE, (L"Global\\" + name).c_str());
    if (mutex_ == nullptr) {
      mutex_ = ::CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
    }
  }
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  ~WriterLock() {
    if (held_) {
      ::ReleaseMutex(mutex_);
    }
    if (mutex_ != nullptr) {
      ::CloseHandle(mutex_);
    }
  }

  // False when another writer holds the lock beyond `wait`, or there is no lock to be had.
  bool Acquire(std::chrono::milliseconds wait) {
    if (mutex_ == nullptr) {
      return false;
    }
    const DWORD result = ::WaitForSingleObject(mutex_, static_cast<DWORD>(wait.count()));
    // Abandoned: its holder was killed mid-write, which left at most a temporary file.
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return held_;
  }

 private:
  // The file's full path, in capitals since the file system ignores case, reduced to a hash:
  // a kernel object's name takes no backslash and is limited in length.
  static std::wstring NameOf(const std::wstring& target) {
    std::wstring upper = target;
    ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a
    for (const wchar_t c : upper) {
      hash = (hash ^ static_cast<std::uint16_t>(c)) * 0x100000001b3u;
    }
    wchar_t hex[17];
    for (int i = 0; i < 16; ++i) {
      hex[i] = L"0123456789abcdef"[(hash >> ((15 - i) * 4)) & 0xF];
    }
    hex[16] = L'\0';
    return hex;
  }

  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

// A name of TemporaryFileTemplate's form beside the target, not yet taken.
std::wstring TemporaryName(const std::wstring& target, std::mt19937& random) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kLetters) - 2);
  std::wstring name = L"." + WideLastComponent(target) + L".vctmp-";
  for (int i = 0; i < 6; ++i) {
    name += static_cast<wchar_t>(kLetters[pick(random)]);
  }
  return WideFolderPart(target) + L"\\" + name;
}

std::mt19937 SeededRandom() {
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  std::seed_seq seed{
      static_cast<unsigned>(::GetCurrentProcessId()), static_cast<unsigned>(::GetCurrentThreadId()),
      static_cast<unsigned>(counter.LowPart), static_cast<unsigned>(counter.HighPart)};
  return std::mt19937(seed);
}

// Gives the replacement the original's access-control list: its explicit entries, and whether it
// takes the folder's inherited ones (the system adds those anew). Without it the replacement
// would have only the folder's. Where the original's list cannot be read or the temporary's set,
// the folder's stays: the replacement is then what a new file of the driver's would be.
void KeepAccessControl(const std::wstring& target, HANDLE temporary) {
  FileHandle original(::CreateFileW(target.c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!original.valid() ||
      ::GetSecurityInfo(original.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  const bool is_protected = ::GetSecurityDescriptorControl(descriptor, &control, &revision) != 0 &&
                            (control & SE_DACL_PROTECTED) != 0;
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION |
      (is_protected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
  ::SetSecurityInfo(temporary, SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
  ::LocalFree(descriptor);
}

// CREATE_NEW with no sharing: the temporary file is ours alone from its first byte, and a file
// or link planted under that name is never reused. A new file inherits the folder's permissions,
// as the driver's own new files do; a replacement keeps the original's (KeepAccessControl).
// ERROR_SUCCESS when written, else the error that stopped it.
DWORD WriteTemporary(const std::wstring& target, const std::string& content, DWORD attributes,
                     std::mt19937& random, std::wstring& temp_path) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp_path = TemporaryName(target, random);
    FileHandle file(::CreateFileW(temp_path.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        continue;
      }
      return error;
    }
    const bool ok = WriteAll(file.get(), content) && ::FlushFileBuffers(file.get()) != 0;
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (ok && attributes != INVALID_FILE_ATTRIBUTES) {
      KeepAccessControl(target, file.get());
    }
    if (!file.Close() || !ok) {
      error = error != ERROR_SUCCESS ? error : ::GetLastError();
      ::DeleteFileW(temp_path.c_str());
      return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kInheritedAttributes) != 0) {
      ::SetFileAttributesW(temp_path.c_str(), attributes & kInheritedAttributes);
    }
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_EXISTS;
}

bool SeekTo(HANDLE handle, std::uint64_t offset) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) != 0;
}

// The profile functions' way, for a file that another program holds open or a folder that
// refuses new files: the content goes over the file itself, from its start, then the rest is cut
// off. Not atomic (a crash halfway leaves a torn file), so only the fallback. A file that grows is
// grown first, so that a full disk stops the write before any byte of the file has changed.
StepOutcome WriteInPlace(const std::wstring& target, const std::string& content,
                         const FileIdentity& read_identity, WriteFailure& why) {
  FileHandle file(::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    why = FailureOf(error);
    return IsMissing(error) ? StepOutcome::kRaced : StepOutcome::kFailed;
  }
  FileIdentity now;
  if (!IdentityOfHandle(file.get(), now) || !SameContent(read_identity, now)) {
    return StepOutcome::kRaced;
  }
  const bool grown = content.size() <= SizeOf(now) ||
                     (SeekTo(file.get(), content.size()) && ::SetEndOfFile(file.get()) != 0);
  if (!grown || !SeekTo(file.get(), 0) || !WriteAll(file.get(), content) ||
      !::SetEndOfFile(file.get()) || !::FlushFileBuffers(file.get())) {
    why = FailureOf(::GetLastError());
    return StepOutcome::kFailed;
  }
  return StepOutcome::kDone;
}

// A new file: the move never replaces one that appeared meanwhile.
StepOutcome InstallNew(const std::wstring& temp_path, const std::wstring& target) {
  if (::MoveFileExW(temp_path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return StepOutcome::kDone;
  }
  const DWORD error = ::GetLastError();
  ::DeleteFileW(temp_path.c_str());
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ||
                 error == ERROR_FILE_NOT_FOUND
             ? StepOutcome::kRaced
             : StepOutcome::kFailed;
}

// Renames the temporary file over the original: atomic, so that the driver finds the old file or
// the new one and never none. Waits a little while another process holds the original open;
// `error` then tells what refused it.
StepOutcome InstallOver(const std::wstring& temp_path, const std::wstring& target, DWORD& error) {
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExW(temp_path.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return StepOutcome::kDone;
    }
    error = ::GetLastError();
    if (!IsBusy(error) || attempt == kBusyAttempts) {
      ::DeleteFileW(temp_path.c_str());
      return StepOutcome::kFailed;
    }
    ::Sleep(kBusyPauseMs);
  }
}

// A name in UTF-8, only to compare it with another: the conversion loses nothing.
std::string Utf8(const std::wstring& wide) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length,
                        nullptr, nullptr);
  return text;
}

// Temporaries of a writer that was killed. Safe only under the lock: then no writer of ours is
// writing one for this file. Only plain files of our names are taken, never a folder or a link.
void RemoveLeftoverTemporaries(const std::wstring& target) {
  const std::wstring folder = WideFolderPart(target);
  const std::wstring name = WideLastComponent(target);
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((folder + L"\\." + name + L".vctmp-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return;
  }
  const std::string file_name = Utf8(name);
  std::vector<std::wstring> leftovers;
  do {
    const bool plain =
        (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    if (plain && IsTemporaryFileName(file_name, Utf8(found.cFileName))) {
      leftovers.emplace_back(found.cFileName);
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  for (const std::wstring& leftover : leftovers) {
    ::DeleteFileW((folder + L"\\" + leftover).c_str());
  }
}

// Why a file could not be read, as its opening tells. A folder also answers "access denied".
WriteFailure ReadFailure(const std::wstring& target) {
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return WriteFailure::kOther;
  }
  FileHandle file(::CreateFileW(target.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() ? WriteFailure::kOther : FailureOf(::GetLastError());
}

// One read-modify-replace under the lock. kRaced when the file changed behind our back.
StepOutcome UpdateStep(const std::wstring& target, const FileEdit& edit, std::mt19937& random,
                       WriteFailure& why) {
  std::string content;
  FileIdentity read_identity;
  if (ReadStable(target, content, read_identity) == ReadResult::kFailed) {
    why = ReadFailure(target);
    return StepOutcome::kFailed;
  }
  why = WriteFailure::kOther;
  const EditResult edited = edit(content);
  if (edited == EditResult::kFailed) {
    return StepOutcome::kFailed;
  }
  std::wstring temp_path;
  bool in_place = false;
  if (edited == EditResult::kChanged) {
    // A read-only file stays as it is, whoever asks.
    const DWORD attributes =
        read_identity.exists ? read_identity.info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      why = WriteFailure::kNoPermission;
      return StepOutcome::kFailed;
    }
    const DWORD error = WriteTemporary(target, content, attributes, random, temp_path);
    // A folder that refuses new files, around a file that may be written: as the driver writes it.
    in_place = error == ERROR_ACCESS_DENIED && read_identity.exists;
    if (error != ERROR_SUCCESS && !in_place) {
      why = FailureOf(error);
      return StepOutcome::kFailed;
    }
    if (in_place) {
      temp_path.clear();
    }
  }
  FileIdentity now;
  if (!IdentityOfPath(target, now) || !SameFile(read_identity, now)) {
    if (!temp_path.empty()) {
      ::DeleteFileW(temp_path.c_str());
    }
    return StepOutcome::kRaced;
  }
  if (in_place) {
    return WriteInPlace(target, content, read_identity, why);
  }
  if (!temp_path.empty()) {
    RunBeforeReplacementHook();
    DWORD error = ERROR_SUCCESS;
    const StepOutcome installed = read_identity.exists ? InstallOver(temp_path, target, error)
                                                       : InstallNew(temp_path, target);
    // Refused while another program holds the file open: written in place, as the driver would.
    if (installed == StepOutcome::kFailed && IsBusy(error)) {
      return WriteInPlace(target, content, read_identity, why);
    }
    if (installed != StepOutcome::kDone) {
      why = FailureOf(error);
      return installed;
    }
  }
  RemoveLeftoverTemporaries(target);
  return StepOutcome::kDone;
}

}  // namespace

bool IsExistingFile(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes =
      wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
  FileIdentity ignored;
  return ReadStable(WidePath(path), content, ignored);
}

WriteResult UpdateWholeFile(const std::string& path, const FileEdit& edit,
                            std::chrono::milliseconds lock_wait) {
  const std::wstring wide = WidePath(path);
  const std::wstring target = wide.empty() ? std::wstring() : ReplacementTarget(wide);
  if (target.empty() || WideFolderPart(target).empty()) {
    return {WriteFailure::kOther};
  }
  WriterLock lock(target);
  if (!lock.Acquire(lock_wait)) {
    return {WriteFailure::kHeldOpen};
  }
  std::mt19937 random = SeededRandom();
  WriteFailure why = WriteFailure::kOther;
  if (file_store::StepUntilDone([&] { return UpdateStep(target, edit, random, why); })) {
    return {};
  }
  return {why};
}

}  // namespace ventrel
