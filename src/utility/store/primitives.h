// What the file store asks of the file system beneath it: a handful of primitives, implemented
// once per platform (store_linux.cpp, store_win32.cpp). Only the store and its tests include this.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
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

// A system error: errno on Linux, GetLastError() on Windows, a test file system's own code; 0 for
// none.
using SystemError = unsigned long;

// What ReplaceIfUnchanged gives when the file changed before the rename; no system's own code.
inline constexpr SystemError kChangedMeanwhile = ~SystemError{0} - 1;

// What a system error tells the store to do.
enum class ErrorKind {
  kNone,
  kMissing,      // no such file or folder
  kExisting,     // something has the name already
  kHeld,         // another program holds the file for now: waiting may help (Windows)
  kRefused,      // no new file here, or no rename over this one, but the file itself may be
                 // written; waiting does not help
  kUnsupported,  // the file system cannot do it
  kOther,
};
struct ErrorMeaning {
  ErrorKind kind = ErrorKind::kNone;
  WriteFailure failure = WriteFailure::kNone;  // what the user is told
};

// What a reader saw of a file: enough to tell whether anyone changed or replaced it since.
struct FileIdentity {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  std::uint64_t size = 0;
  std::int64_t write_time = 0;   // in the system's own unit
  std::int64_t written_ms = 0;   // the same in milliseconds, to tell how long ago
  std::int64_t change_time = 0;  // of the file's metadata; Windows reports none
  std::uint32_t mode = 0;        // Linux: st_mode; Windows: the file's attributes
  std::uint32_t owner = 0;       // Linux only
  std::uint32_t group = 0;       // Linux only
  bool plain = false;            // a regular file on disk: no folder, pipe or device
};

class FileSystem;

// An open file (or, for the lock, folder or mutex): a descriptor on Linux, a HANDLE on Windows,
// whatever number a file system of the tests' gives. Closed by the file system that opened it.
class FileHandle {
 public:
  static constexpr std::intptr_t kInvalid = -1;  // -1 and INVALID_HANDLE_VALUE alike
  // `owner` null: the system's own file system.
  explicit FileHandle(std::intptr_t native = kInvalid, FileSystem* owner = nullptr)
      : native_(native), owner_(owner) {}
  FileHandle(FileHandle&& other) noexcept
      : native_(std::exchange(other.native_, kInvalid)), owner_(other.owner_) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) {
      Close();
      native_ = std::exchange(other.native_, kInvalid);
      owner_ = other.owner_;
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
  FileSystem* owner_;
};

enum class RenameMode { kNoReplace, kExchange, kReplace };

enum class LockState { kHeld, kNone, kTimedOut, kFailed };

// The exclusive lock every writer of ours takes on a file (flock on its folder on Linux, a named
// mutex for the file on Windows), and what may be done only while holding it.
class WriterLock {
 public:
  virtual ~WriterLock() = default;
  // kNone when the system has no lock to give but the write may go on unlocked.
  virtual LockState Acquire(std::chrono::milliseconds wait) = 0;
  virtual bool held() const = 0;
  // Makes the folder's new entry durable; 0 where renames write through (Windows).
  virtual SystemError SyncFolder() const = 0;
  // The plain files beside `target` whose names start with `prefix` and that we may remove as
  // left over (Linux: ours or the owner's). Only under the lock.
  virtual std::vector<NativePath> RemovableFiles(const NativePath& target, const NativePath& prefix,
                                                 const FileIdentity& file) const = 0;
  virtual void RemoveBeside(const NativePath& target, const NativePath& name) const = 0;
};

// The file system beneath the store, so that tests can put one of their own there (one that
// loses power at any step, or lines up a race at an exact one). One real implementation per
// platform (RealFileSystem).
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // What a system error means: errno on Linux, GetLastError() on Windows. The one place per
  // platform that reads the system's codes.
  virtual ErrorMeaning Meaning(SystemError error) const = 0;

  // Whether the system swaps two files atomically (Linux); where not, a file is renamed over.
  virtual bool CanExchange() const = 0;

  // The path in native form, absolute on Windows (where the "\\?\" prefix lifts the
  // 260-character limit); empty when the text is no path.
  virtual NativePath NativeFromPath(const std::string& path) = 0;
  // The file a write must really replace: the final target of a symbolic link, the path itself
  // otherwise. Empty when that cannot be had safely (see UpdateWholeFile).
  virtual NativePath ReplacementTarget(const NativePath& path) = 0;
  // True for an existing regular file (a link to one counts).
  virtual bool IsPlainFileAt(const NativePath& path) = 0;

  // Opens an existing file without ever blocking (a pipe, a device); `follow_link` false refuses
  // a link (Linux).
  virtual FileHandle OpenForReading(const NativePath& path, bool follow_link,
                                    SystemError& error) = 0;
  // Opens an existing file to be written in place; on Windows others may go on reading it, but no
  // one else may write it, rename it or remove it while it is open.
  virtual FileHandle OpenForWriting(const NativePath& path, SystemError& error) = 0;
  // What FileHandle::Close does for a handle of this file system's.
  virtual bool CloseNative(std::intptr_t native) = 0;

  // The identity of an open file, or of what the path names now without following a link (a
  // missing file: exists false). False when it cannot be told.
  virtual bool IdentityOf(const FileHandle& file, FileIdentity& identity) = 0;
  virtual bool IdentityAt(const NativePath& path, FileIdentity& identity) = 0;

  // One read or write at the file's position: the bytes moved, or -1 with `error` set.
  virtual std::int64_t ReadSome(const FileHandle& file, char* buffer, std::size_t size,
                                SystemError& error) = 0;
  virtual std::int64_t WriteSome(const FileHandle& file, const char* data, std::size_t size,
                                 SystemError& error) = 0;
  // Readies a buffer that is about to be filled with `content.capacity()` bytes.
  virtual void PrepareToFill(std::string& content) = 0;

  // False when the file must not be replaced although the system would let us: it is read-only.
  virtual bool MayReplace(const NativePath& target, const FileIdentity& original) = 0;

  // Creates `temp_path` exclusively (never through anything planted under that name), writes
  // `content`, flushes it to disk and gives it what it inherits from `original`: permissions and
  // owner on Linux, attributes and access-control list on Windows. Removes it on failure.
  virtual SystemError WriteTemporary(const NativePath& temp_path, const NativePath& target,
                                     const std::string& content, const FileIdentity& original) = 0;

  // Writes `content` over the open file from its start and cuts off the rest: the space is
  // claimed first, so that a full disk stops it before any byte has changed.
  virtual SystemError Overwrite(const FileHandle& file, const std::string& content,
                                const FileIdentity& now) = 0;
  // Makes what was written to the file lasting, through an open of its own that shares
  // everything.
  virtual SystemError Flush(const NativePath& path) = 0;

  virtual void RemoveFile(const NativePath& path) = 0;

  // How a finished temporary takes the file's place, in one attempt: Windows refuses to rename
  // over a file that another program holds open (kHeld: the store waits and tries again).
  // kExchange is unsupported where CanExchange is false.
  virtual SystemError Rename(const NativePath& from, const NativePath& to, RenameMode mode) = 0;

  // Renames `from` over `to`, in one attempt, if `unchanged()` still holds when asked at the last
  // moment before the system renames: where it can (Windows), `from` is opened first, so that
  // nothing but the rename itself comes after the look. kChangedMeanwhile when it did not hold.
  virtual SystemError ReplaceIfUnchanged(const NativePath& from, const NativePath& to,
                                         const std::function<bool()>& unchanged) = 0;

  // Gives the file at `target` a second name, `link`, beside it (a hard link), so that a rename
  // over `target` leaves the file it displaced there to be looked at. kHeld while another
  // program holds the file without sharing its deletion; any other failure where the file
  // system has no hard links (FAT, many network shares).
  virtual SystemError LinkBeside(const NativePath& target, const NativePath& link) = 0;

  // When the system last started, in the clock of FileIdentity::written_ms: a journal older than
  // that had its write cut short by a power loss, not by a kill.
  virtual std::int64_t BootedAtMs() = 0;

  // Waits, doing nothing: for a holder to let go, or for another writer to show itself.
  virtual void Pause(std::chrono::milliseconds time) = 0;

  // The lock for writers of `target`, not yet acquired.
  virtual std::unique_ptr<WriterLock> LockFor(const NativePath& target) = 0;

  // Writes all of `content` at the file's position, in as many writes as it takes; 0 or the
  // error.
  SystemError WriteAll(const FileHandle& file, const std::string& content);
};

// The system's own file system.
FileSystem& RealFileSystem();

// A fresh name for a temporary file of `file_name`: "." + file_name + ".vctmp-" and six letters
// or digits. Only names of this form are ever removed as left over.
NativePath TemporaryFileName(const NativePath& file_name, std::mt19937& random);
bool IsTemporaryFileName(std::basic_string_view<NativeChar> file_name,
                         std::basic_string_view<NativeChar> candidate);
// A kept name: "." + file_name + ".vckept-", six letters or digits, and two ContentHashes in hex,
// each after a '-'. It names a file that may be someone else's (the one a replacement displaced),
// which no sweep removes unless it holds one of the two contents the name vouches for: what its
// writer read, whose edit that writer's write holds, and what it wrote.
struct KeptHashes {
  std::uint64_t read = 0;
  std::uint64_t written = 0;
};
// FNV-1a; `hash` carries on from an earlier part.
std::uint64_t ContentHash(std::string_view content, std::uint64_t hash = 0xcbf29ce484222325);
// A journal's name is the same, with ".vcjournal-" for ".vckept-". It holds what a write in place
// read followed by what it writes; a sweep never removes it, only the next write, once the file
// holds either.
enum class KeptKind { kCopy, kJournal };
NativePath KeptFileName(const NativePath& file_name, const KeptHashes& hashes, std::mt19937& random,
                        KeptKind kind = KeptKind::kCopy);
std::optional<KeptHashes> KeptFileHashes(std::basic_string_view<NativeChar> file_name,
                                         std::basic_string_view<NativeChar> candidate,
                                         KeptKind kind = KeptKind::kCopy);

// ReadWholeFile and UpdateWholeFile over the file system `fs`.
ReadResult ReadWholeFile(const std::string& path, std::string& content, FileSystem& fs);
WriteResult UpdateWholeFile(const std::string& path, const FileEdit& edit,
                            std::chrono::milliseconds lock_wait, FileSystem& fs);

}  // namespace ventrel::store
