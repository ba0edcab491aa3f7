// The file store's primitives on Windows. Every call takes UTF-16 paths with the "\\?\" prefix,
// so a path is not cut at 260 characters; a file's identity is its volume, index, size and time.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "utility/platform/code_page_win32.h"
#include "utility/store/primitives.h"

namespace ventrel::store {
namespace {

// Attributes a replacement carries over from the file it replaces.
constexpr DWORD kInheritedAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Of those, what must not be lost: a hidden or system file must not come back visible.
constexpr DWORD kVisibilityAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// The store's own code for a replacement refused because it could not keep them.
constexpr SystemError kAttributesNotKept = 0x20000000 | 1;  // the customer bit: no system code

HANDLE Handle(const FileHandle& file) {
  return reinterpret_cast<HANDLE>(file.get());
}

FileHandle OpenFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                    DWORD flags) {
  return FileHandle(reinterpret_cast<std::intptr_t>(
      ::CreateFileW(path, access, share, nullptr, disposition, flags, nullptr)));
}

// Where the file system refuses some of the attributes (FAT, and FAT under Wine, refuse the
// archive attribute and "not content indexed"), the hidden and system ones alone are enough.
bool KeepsWhatMatters(const NativePath& temp_path, DWORD inherited) {
  const DWORD visibility = inherited & kVisibilityAttributes;
  return visibility == 0 || ::SetFileAttributesW(temp_path.c_str(), visibility) != 0;
}

NativePath FolderOf(const NativePath& path) {
  return path.substr(0, path.find_last_of(kSeparators));
}

bool IsFolder(const NativePath& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SeekTo(HANDLE handle, std::uint64_t offset) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) != 0;
}

// Gives the replacement the original's access-control list: its explicit entries, and whether it
// takes the folder's inherited ones (the system adds those anew). Without it the replacement
// would have only the folder's. Where the original's list cannot be read or the temporary's set,
// the folder's stays: the replacement is then what a new file of the driver's would be.
void KeepAccessControl(const NativePath& target, HANDLE temporary) {
  const FileHandle original =
      OpenFile(target.c_str(), READ_CONTROL, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!original.valid() ||
      ::GetSecurityInfo(Handle(original), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
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

// The file's full path, in capitals since the file system ignores case, reduced to a hash:
// a kernel object's name takes no backslash and is limited in length.
std::wstring NameOf(const std::wstring& target) {
  std::wstring upper = target;
  ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a
  for (const wchar_t c : upper) {
    hash = (hash ^ static_cast<std::uint16_t>(c)) * 0x100000001b3u;
  }
  std::wstring hex;
  for (int shift = 60; shift >= 0; shift -= 4) {
    hex += L"0123456789abcdef"[(hash >> shift) & 0xF];
  }
  return hex;
}

// The primitives as Windows gives them.
class Win32FileSystem final : public FileSystem {
 public:
  ErrorMeaning Meaning(SystemError error) const override;
  bool CanExchange() const override { return false; }
  NativePath NativeFromPath(const std::string& path) override;
  NativePath ReplacementTarget(const NativePath& path) override;
  bool IsPlainFileAt(const NativePath& path) override;
  FileHandle OpenForReading(const NativePath& path, bool follow_link, SystemError& error) override;
  FileHandle OpenForWriting(const NativePath& path, SystemError& error) override;
  bool CloseNative(std::intptr_t native) override;
  bool IdentityOf(const FileHandle& file, FileIdentity& identity) override;
  bool IdentityAt(const NativePath& path, FileIdentity& identity) override;
  std::int64_t ReadSome(const FileHandle& file, char* buffer, std::size_t size,
                        SystemError& error) override;
  std::int64_t WriteSome(const FileHandle& file, const char* data, std::size_t size,
                         SystemError& error) override;
  void PrepareToFill(std::string& content) override;
  bool MayReplace(const NativePath& target, const FileIdentity& original) override;
  SystemError WriteTemporary(const NativePath& temp_path, const NativePath& target,
                             const std::string& content, const FileIdentity& original) override;
  SystemError Overwrite(const FileHandle& file, const std::string& content,
                        const FileIdentity& now) override;
  SystemError Flush(const NativePath& path) override;
  void RemoveFile(const NativePath& path) override;
  SystemError Rename(const NativePath& from, const NativePath& to, RenameMode mode) override;
  SystemError ReplaceIfUnchanged(const NativePath& from, const NativePath& to,
                                 const std::function<bool()>& unchanged) override;
  SystemError LinkBeside(const NativePath& target, const NativePath& link) override;
  std::int64_t BootedAtMs() override;
  void Pause(std::chrono::milliseconds time) override { ::Sleep(static_cast<DWORD>(time.count())); }
  std::unique_ptr<WriterLock> LockFor(const NativePath& target) override;
};

// A named mutex for the file.
class MutexLock final : public WriterLock {
 public:
  explicit MutexLock(const NativePath& target);
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  ~MutexLock() override;
  LockState Acquire(std::chrono::milliseconds wait) override;
  bool held() const override { return held_; }
  SystemError SyncFolder() const override;
  std::vector<NativePath> RemovableFiles(const NativePath& target, const NativePath& prefix,
                                         const FileIdentity& file) const override;
  void RemoveBeside(const NativePath& target, const NativePath& name) const override;

 private:
  FileHandle handle_;
  bool held_ = false;
};

}  // namespace

const NativeChar kSeparators[] = L"\\/";

FileSystem& RealFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

bool Win32FileSystem::CloseNative(std::intptr_t native) {
  const HANDLE handle = reinterpret_cast<HANDLE>(native);
  return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle) != 0;
}

// Another program (the driver, a virus scanner, an editor) holding the file answers "sharing
// violation", or "access denied" to a rename over it; a folder that refuses new files answers
// "access denied" too, and the file itself may still be written.
ErrorMeaning Win32FileSystem::Meaning(SystemError error) const {
  switch (error) {
    case ERROR_SUCCESS:
      return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NET_NAME:
    case ERROR_NO_UNICODE_TRANSLATION:
      return {ErrorKind::kMissing, WriteFailure::kOther};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return {ErrorKind::kExisting, WriteFailure::kOther};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return {ErrorKind::kHeld, WriteFailure::kHeldOpen};
    case ERROR_ACCESS_DENIED:
      return {ErrorKind::kHeld, WriteFailure::kNoPermission};
    case ERROR_USER_MAPPED_FILE:
      return {ErrorKind::kOther, WriteFailure::kHeldOpen};
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      return {ErrorKind::kOther, WriteFailure::kNoPermission};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return {ErrorKind::kOther, WriteFailure::kDiskFull};
    case kAttributesNotKept:
      return {ErrorKind::kOther, WriteFailure::kAttributesNotKept};
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return {ErrorKind::kUnsupported, WriteFailure::kOther};
    default:
      return {ErrorKind::kOther, WriteFailure::kOther};
  }
}

// The program's path (UTF-8) as a UTF-16 path that the system takes whatever its length: absolute,
// with the
// "\\?\" prefix (which also turns off the system's own rewriting of "." and ".." and of trailing
// dots and blanks, so the full path is made first). Empty when the text is no path.
NativePath Win32FileSystem::NativeFromPath(const std::string& path) {
  std::wstring wide;
  if (path.empty() || !WideFromCodePage(CP_UTF8, path, wide)) {
    return {};
  }
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

// A symbolic link is replaced at its final target, so the link itself stays a link; a path with
// no folder part is no path the system can rename into.
NativePath Win32FileSystem::ReplacementTarget(const NativePath& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path.find_last_of(kSeparators) == NativePath::npos ? NativePath() : path;
  }
  const FileHandle file =
      OpenFile(path.c_str(), 0, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (!file.valid()) {
    return {};
  }
  std::wstring target(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFinalPathNameByHandleW(Handle(file), target.data(), static_cast<DWORD>(target.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) {
      return {};
    }
    if (n < target.size()) {
      target.resize(n);
      return target.find_last_of(kSeparators) == NativePath::npos ? NativePath() : target;
    }
    target.resize(n + 1);
  }
}

bool Win32FileSystem::IsPlainFileAt(const NativePath& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A folder also answers "access denied"; waiting will not make it a file.
FileHandle Win32FileSystem::OpenForReading(const NativePath& path, bool /*follow_link*/,
                                           SystemError& error) {
  FileHandle file =
      OpenFile(path.c_str(), GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  error = file.valid() ? ERROR_SUCCESS : ::GetLastError();
  if (error == ERROR_ACCESS_DENIED && IsFolder(path)) {
    error = ERROR_DIRECTORY;
  }
  return file;
}

// Sharing only reading: a profile function's write in the meantime fails rather than land
// between our look and our write, or halfway through it.
FileHandle Win32FileSystem::OpenForWriting(const NativePath& path, SystemError& error) {
  FileHandle file = OpenFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  error = file.valid() ? ERROR_SUCCESS : ::GetLastError();
  return file;
}

bool Win32FileSystem::IdentityOf(const FileHandle& file, FileIdentity& identity) {
  identity = FileIdentity{};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(Handle(file), &info)) {
    return false;
  }
  identity.exists = true;
  identity.device = info.dwVolumeSerialNumber;
  identity.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  identity.write_time =
      static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                info.ftLastWriteTime.dwLowDateTime);
  identity.written_ms = identity.write_time / 10000;  // from units of 100 ns
  identity.mode = info.dwFileAttributes;
  // A device ("NUL", "CON", a pipe) is no file: it may block or never end.
  identity.plain = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                   ::GetFileType(Handle(file)) == FILE_TYPE_DISK;
  return true;
}

bool Win32FileSystem::IdentityAt(const NativePath& path, FileIdentity& identity) {
  identity = FileIdentity{};
  const FileHandle file = OpenFile(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS);
  if (!file.valid()) {
    return Meaning(::GetLastError()).kind == ErrorKind::kMissing;
  }
  return IdentityOf(file, identity);
}

std::int64_t Win32FileSystem::ReadSome(const FileHandle& file, char* buffer, std::size_t size,
                                       SystemError& error) {
  DWORD n = 0;
  if (!::ReadFile(Handle(file), buffer, static_cast<DWORD>(size), &n, nullptr)) {
    error = ::GetLastError();
    return -1;
  }
  return n;
}

std::int64_t Win32FileSystem::WriteSome(const FileHandle& file, const char* data, std::size_t size,
                                        SystemError& error) {
  const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
  DWORD written = 0;
  if (!::WriteFile(Handle(file), data, chunk, &written, nullptr)) {
    error = ::GetLastError();
    return -1;
  }
  return written;
}

void Win32FileSystem::PrepareToFill(std::string& /*content*/) {}

// A read-only file stays as it is, whoever asks.
bool Win32FileSystem::MayReplace(const NativePath& /*target*/, const FileIdentity& original) {
  return !original.exists || (original.mode & FILE_ATTRIBUTE_READONLY) == 0;
}

// CREATE_NEW with no sharing: the temporary file is ours alone from its first byte. A new file
// inherits the folder's permissions, as the driver's own new files do; a replacement keeps the
// original's (KeepAccessControl).
SystemError Win32FileSystem::WriteTemporary(const NativePath& temp_path, const NativePath& target,
                                            const std::string& content,
                                            const FileIdentity& original) {
  FileHandle file =
      OpenFile(temp_path.c_str(), GENERIC_WRITE | WRITE_DAC, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  if (!file.valid()) {
    return ::GetLastError();
  }
  SystemError error = WriteAll(file, content);
  if (error == 0 && !::FlushFileBuffers(Handle(file))) {
    error = ::GetLastError();
  }
  if (error == 0 && original.exists) {
    KeepAccessControl(target, Handle(file));
  }
  if (!file.Close() && error == 0) {
    error = ::GetLastError();
  }
  if (error != 0) {
    ::DeleteFileW(temp_path.c_str());
    return error;
  }
  const DWORD inherited = original.exists ? original.mode & kInheritedAttributes : 0;
  if (inherited != 0 && !::SetFileAttributesW(temp_path.c_str(), inherited) &&
      !KeepsWhatMatters(temp_path, inherited)) {
    ::DeleteFileW(temp_path.c_str());
    return kAttributesNotKept;
  }
  return 0;
}

SystemError Win32FileSystem::Overwrite(const FileHandle& file, const std::string& content,
                                       const FileIdentity& now) {
  const HANDLE handle = Handle(file);
  const bool grown =
      content.size() <= now.size || (SeekTo(handle, content.size()) && ::SetEndOfFile(handle) != 0);
  if (!grown || !SeekTo(handle, 0)) {
    return ::GetLastError();
  }
  if (const SystemError error = WriteAll(file, content)) {
    return error;
  }
  return ::SetEndOfFile(handle) ? 0 : ::GetLastError();
}

// Through a handle of its own that shares everything, so that the file is held alone only for
// the write itself; FlushFileBuffers asks for one opened for writing.
SystemError Win32FileSystem::Flush(const NativePath& path) {
  const FileHandle file =
      OpenFile(path.c_str(), GENERIC_WRITE, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  return file.valid() && ::FlushFileBuffers(Handle(file)) ? 0 : ::GetLastError();
}

void Win32FileSystem::RemoveFile(const NativePath& path) {
  ::DeleteFileW(path.c_str());
}

// Windows has no rename that exchanges, nor one that tells what it replaced (LinkBeside is how
// the store finds out).
SystemError Win32FileSystem::Rename(const NativePath& from, const NativePath& to, RenameMode mode) {
  if (mode == RenameMode::kExchange) {
    return ERROR_NOT_SUPPORTED;
  }
  const DWORD flags =
      MOVEFILE_WRITE_THROUGH | (mode == RenameMode::kReplace ? MOVEFILE_REPLACE_EXISTING : 0);
  return ::MoveFileExW(from.c_str(), to.c_str(), flags) ? 0 : ::GetLastError();
}

// An existing file is written in place on Windows (the store renames only a new file into
// place), so nothing is ever renamed over one here, nor given a second name.
SystemError Win32FileSystem::ReplaceIfUnchanged(const NativePath&, const NativePath&,
                                                const std::function<bool()>&) {
  return ERROR_NOT_SUPPORTED;
}

SystemError Win32FileSystem::LinkBeside(const NativePath&, const NativePath&) {
  return ERROR_NOT_SUPPORTED;
}

std::int64_t Win32FileSystem::BootedAtMs() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const std::int64_t now_ms = static_cast<std::int64_t>(
      (ULARGE_INTEGER{{now.dwLowDateTime, now.dwHighDateTime}}).QuadPart / 10000);
  return now_ms - static_cast<std::int64_t>(::GetTickCount64());
}

// A named mutex, one per file. It cannot be a byte-range lock (LockFileEx) on the file itself:
// Windows enforces those, so the driver's own reads and writes would fail for as long as we
// hold it; folders take no byte-range locks, and a lock file would leave a file of ours in the
// driver's folder. The system releases the mutex of a writer that was killed.
std::unique_ptr<WriterLock> Win32FileSystem::LockFor(const NativePath& target) {
  return std::make_unique<MutexLock>(target);
}

MutexLock::MutexLock(const NativePath& target) {
  const std::wstring name = L"VentrelConf.Update." + NameOf(target);
  // Global: writers of every session, a service's too; where another account's mutex denies
  // us, the session's own.
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, (L"Global\\" + name).c_str());
  if (mutex == nullptr) {
    mutex = ::CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
  }
  handle_ =
      FileHandle(mutex == nullptr ? FileHandle::kInvalid : reinterpret_cast<std::intptr_t>(mutex));
}

MutexLock::~MutexLock() {
  if (held_) {
    ::ReleaseMutex(Handle(handle_));
  }
}

LockState MutexLock::Acquire(std::chrono::milliseconds wait) {
  if (!handle_.valid()) {
    return LockState::kFailed;
  }
  const DWORD result = ::WaitForSingleObject(Handle(handle_), static_cast<DWORD>(wait.count()));
  // Abandoned: its holder was killed mid-write, which left at most a temporary file.
  held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  if (held_) {
    return LockState::kHeld;
  }
  // Only a wait that ran out means that another writer holds the file; a wait the system could
  // not make says nothing of the kind.
  return result == WAIT_TIMEOUT ? LockState::kTimedOut : LockState::kFailed;
}

SystemError MutexLock::SyncFolder() const {
  return 0;  // MOVEFILE_WRITE_THROUGH
}

// Never a folder or a link.
std::vector<NativePath> MutexLock::RemovableFiles(const NativePath& target,
                                                  const NativePath& prefix,
                                                  const FileIdentity& /*file*/) const {
  std::vector<NativePath> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      ::FindFirstFileW((FolderOf(target) + L"\\" + prefix + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
      names.emplace_back(found.cFileName);
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

void MutexLock::RemoveBeside(const NativePath& target, const NativePath& name) const {
  ::DeleteFileW((FolderOf(target) + L"\\" + name).c_str());
}

}  // namespace ventrel::store
