// What the file store asks of each platform: a handful of file-system primitives, implemented once
// per platform (store_linux.cpp, store_win32.cpp). Only the store and its tests include this.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "utility/store/file_store.h"

namespace ventrel::store {

// A path as the system's calls take it: bytes on Linux, UTF-16 on Windows.
using NativePath = std::filesystem::path::string_type;
using NativeChar = NativePath::value_type;

// The separators that end a folder's part of a native path.
extern const NativeChar kSeparators[];

// A system error: errno on Linux, GetLastError() on Windows; 0 for none.
using SystemError = unsigned long;

bool IsMissing(SystemError error);      // no such file or folder
bool IsExisting(SystemError error);     // something has the name already
bool IsRefused(SystemError error);      // no new file here, but the file itself may be written
bool IsUnsupported(SystemError error);  // the file system cannot do it
WriteFailure FailureOf(SystemError error);

// What a reader saw of a file: enough to tell whether anyone changed or replaced it since.
struct FileIdentity {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  std::uint64_t size = 0;
  std::int64_t write_time = 0;   // in the system's own unit
  std::int64_t change_time = 0;  // of the file's metadata; Windows reports none
  std::uint32_t mode = 0;        // Linux: st_mode; Windows: the file's attributes
  std::uint32_t owner = 0;       // Linux only
  std::uint32_t group = 0;       // Linux only
  bool plain = false;            // a regular file on disk: no folder, pipe or device
};

// An open file (or, for the lock, folder or mutex): a descriptor on Linux, a HANDLE on Windows.
class FileHandle {
 public:
  static constexpr std::intptr_t kInvalid = -1;  // -1 and INVALID_HANDLE_VALUE alike
  explicit FileHandle(std::intptr_t native = kInvalid) : native_(native) {}
  FileHandle(FileHandle&& other) noexcept : native_(std::exchange(other.native_, kInvalid)) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) {
      Close();
      native_ = std::exchange(other.native_, kInvalid);
    }
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  std::intptr_t get() const { return native_; }
  bool valid() const { return native_ != kInvalid; }
  // False when closing reported an error: what was written may not have reached the disk.
  bool Close();

 private:
  std::intptr_t native_;
};

// The path in native form, absolute on Windows (where the "\\?\" prefix lifts the 260-character
// limit); empty when the text is no path.
NativePath NativeFromPath(const std::string& path);

// The file a write must really replace: the final target of a symbolic link, the path itself
// otherwise. Empty when that cannot be had safely (see UpdateWholeFile).
NativePath ReplacementTarget(const NativePath& path);

// True for an existing regular file (a link to one counts).
bool IsPlainFileAt(const NativePath& path);

// Opens an existing file without ever blocking (a pipe, a device); `follow_link` false refuses a
// link (Linux).
FileHandle OpenForReading(const NativePath& path, bool follow_link, SystemError& error);
FileHandle OpenForWriting(const NativePath& path, SystemError& error);

// The identity of an open file, or of what the path names now without following a link (a
// missing file: exists false). False when it cannot be told.
bool IdentityOf(const FileHandle& file, FileIdentity& identity);
bool IdentityAt(const NativePath& path, FileIdentity& identity);

// One read or write at the file's position: the bytes moved, or -1 with `error` set.
std::int64_t ReadSome(const FileHandle& file, char* buffer, std::size_t size, SystemError& error);
std::int64_t WriteSome(const FileHandle& file, const char* data, std::size_t size,
                       SystemError& error);

// Writes all of `content` at the file's position, in as many writes as it takes; 0 or the error.
SystemError WriteAll(const FileHandle& file, const std::string& content);
// Readies a buffer that is about to be filled with `content.capacity()` bytes.
void PrepareToFill(std::string& content);

// False when the file must not be replaced although the system would let us: it is read-only.
bool MayReplace(const NativePath& target, const FileIdentity& original);

// Creates `temp_path` exclusively (never through anything planted under that name), writes
// `content`, flushes it to disk and gives it what it inherits from `original`: permissions and
// owner on Linux, attributes and access-control list on Windows. Removes it on failure.
SystemError WriteTemporary(const NativePath& temp_path, const NativePath& target,
                           const std::string& content, const FileIdentity& original);

// Writes `content` over the open file from its start, cuts off the rest and flushes: the space is
// claimed first, so that a full disk stops it before any byte has changed.
SystemError Overwrite(const FileHandle& file, const std::string& content, const FileIdentity& now);

void RemoveFile(const NativePath& path);

// Whether the system swaps two files atomically (Linux); where not, a file is renamed over.
extern const bool kCanExchange;

enum class RenameMode { kNoReplace, kExchange, kReplace };

// How a finished temporary takes the file's place. Tests derive from it to act in the instant
// before a rename.
class Renamer {
 public:
  virtual ~Renamer() = default;
  // kReplace waits a little while another program holds `to` open (Windows).
  virtual SystemError Rename(const NativePath& from, const NativePath& to, RenameMode mode) const;
};

enum class LockState { kHeld, kNone, kTimedOut, kFailed };

// The exclusive lock every writer of ours takes on a file: flock on its folder on Linux, a named
// mutex for the file on Windows.
class WriterLock {
 public:
  explicit WriterLock(const NativePath& target);
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  ~WriterLock();

  // kNone when the system has no lock to give but the write may go on unlocked.
  LockState Acquire(std::chrono::milliseconds wait);
  bool held() const { return held_; }

  // Makes the folder's new entry durable; 0 where renames write through (Windows).
  SystemError SyncFolder() const;
  // The plain files beside `target` whose names start with `prefix` and that we may remove as
  // left over (Linux: ours or the owner's). Only under the lock.
  std::vector<NativePath> RemovableFiles(const NativePath& target, const NativePath& prefix,
                                         const FileIdentity& file) const;
  void RemoveBeside(const NativePath& target, const NativePath& name) const;

 private:
  FileHandle handle_;
  SystemError open_error_ = 0;
  bool held_ = false;
};

// A fresh name for a temporary file of `file_name`: "." + file_name + ".vctmp-" and six letters
// or digits. Only names of this form are ever removed as left over.
NativePath TemporaryFileName(const NativePath& file_name, std::mt19937& random);
bool IsTemporaryFileName(std::basic_string_view<NativeChar> file_name,
                         std::basic_string_view<NativeChar> candidate);

// UpdateWholeFile with the renames `renamer` makes.
WriteResult UpdateWholeFile(const std::string& path, const FileEdit& edit,
                            std::chrono::milliseconds lock_wait, const Renamer& renamer);

}  // namespace ventrel::store
