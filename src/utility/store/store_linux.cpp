// File I/O on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "utility/store/file_store.h"
#include "utility/store/primitives.h"
#include "utility/platform/path.h"

namespace ventrel {
namespace {

using file_store::ReadOutcome;
using file_store::RunBeforeReplacementHook;
using file_store::StepOutcome;

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
// The kernel's own limit on a chain of links.
constexpr int kMaxLinkHops = 40;

// What a failed call's error tells the user.
WriteFailure FailureOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return WriteFailure::kNoPermission;
    case ENOSPC:
    case EDQUOT:
      return WriteFailure::kDiskFull;
    case EBUSY:
    case ETXTBSY:
      return WriteFailure::kHeldOpen;
    default:
      return WriteFailure::kOther;
  }
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::string& content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// What a reader saw of the file: enough to tell whether anyone changed or replaced it since.
struct FileIdentity {
  bool exists = false;
  struct stat info {};
};

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists != b.exists) {
    return false;
  }
  return !a.exists ||
         (a.info.st_dev == b.info.st_dev && a.info.st_ino == b.info.st_ino &&
          a.info.st_size == b.info.st_size && a.info.st_mode == b.info.st_mode &&
          SameTime(a.info.st_mtim, b.info.st_mtim) && SameTime(a.info.st_ctim, b.info.st_ctim));
}

// The file's identity as the path names it now, without following a link it may have become.
bool IdentityOfPath(const std::string& path, FileIdentity& identity) {
  identity = FileIdentity{};
  if (::lstat(path.c_str(), &identity.info) == 0) {
    identity.exists = true;
    return true;
  }
  return errno == ENOENT;
}

// A big file's buffer would have its pages faulted in one at a time as the read fills them, which
// costs more than the read itself; one call maps them all. Kernels before 5.14 decline, harmlessly.
void MapPagesAtOnce(std::string& content) {
#ifdef MADV_POPULATE_WRITE
  constexpr std::size_t kWorthIt = std::size_t{1} << 20;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(content.data());
  const std::uintptr_t begin = (start + page - 1) / page * page;
  const std::uintptr_t end = (start + content.capacity()) / page * page;
  if (content.capacity() >= kWorthIt && end > begin) {
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
  }
#endif
}

ReadOutcome ReadOnce(const std::string& path, bool follow_link, std::string& content,
                     FileIdentity& identity) {
  content.clear();
  identity = FileIdentity{};
  // O_NONBLOCK: opening a pipe must not wait for a writer; it is refused below anyway.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (follow_link ? 0 : O_NOFOLLOW);
  FileDescriptor fd(path.empty() ? -1 : ::open(path.c_str(), flags));
  if (!fd.valid()) {
    return path.empty() || errno == ENOENT || errno == ENOTDIR ? ReadOutcome::kMissing
                                                               : ReadOutcome::kFailed;
  }
  if (::fstat(fd.get(), &identity.info) != 0 || !S_ISREG(identity.info.st_mode) ||
      static_cast<std::uint64_t>(identity.info.st_size) > kMaxFileSize) {
    return ReadOutcome::kFailed;
  }
  identity.exists = true;
  const auto size = static_cast<std::size_t>(identity.info.st_size);
  content.reserve(size + kEditRoom);
  MapPagesAtOnce(content);
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 || content.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
      content.clear();
      return ReadOutcome::kFailed;
    }
    if (n == 0) {
      break;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  FileIdentity after;
  after.exists = ::fstat(fd.get(), &after.info) == 0;
  if (!SameFile(identity, after) ||
      content.size() != static_cast<std::size_t>(identity.info.st_size)) {
    return ReadOutcome::kChanged;  // written to while we read: the bytes may be a mix
  }
  return ReadOutcome::kOk;
}

ReadResult ReadStable(const std::string& path, bool follow_link, std::string& content,
                      FileIdentity& identity) {
  return file_store::ReadUntilStable([&] { return ReadOnce(path, follow_link, content, identity); },
                                     content);
}

// The file a write must really replace: the final target of a symbolic link, the path itself
// otherwise. Empty when `path` is a dangling link or a loop, or when a link on the way belongs to
// someone other than the user, root or the final file's owner: whoever could plant a link in a
// shared folder must not make our write land on a file of theirs choosing.
std::string ReplacementTarget(const std::string& path) {
  struct stat link_info {};
  if (::lstat(path.c_str(), &link_info) != 0 || !S_ISLNK(link_info.st_mode)) {
    return path;
  }
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  struct stat final_info {};
  if (!resolved || ::stat(resolved.get(), &final_info) != 0) {
    return {};
  }
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    if (::lstat(current.c_str(), &link_info) != 0) {
      return {};
    }
    if (!S_ISLNK(link_info.st_mode)) {
      return resolved.get();
    }
    if (link_info.st_uid != ::geteuid() && link_info.st_uid != 0 &&
        link_info.st_uid != final_info.st_uid) {
      return {};
    }
    std::string text(PATH_MAX, '\0');
    const ssize_t n = ::readlink(current.c_str(), text.data(), text.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= text.size()) {
      return {};
    }
    text.resize(static_cast<std::size_t>(n));
    current = text.front() == '/' ? text : PathAppend(PathFolderPart(current), text);
  }
  return {};
}

// What the replacement inherits from the original: permissions and owner. A new file gets the
// usual permissions and the writer as owner.
struct Inherited {
  mode_t mode = 0;
  uid_t owner = static_cast<uid_t>(-1);
  gid_t group = static_cast<gid_t>(-1);
};

bool InheritFrom(const std::string& target, const FileIdentity& original, Inherited& inherited) {
  if (!original.exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    inherited.mode = 0666 & ~mask;
    return true;
  }
  inherited.mode = original.info.st_mode & 07777;
  inherited.owner = original.info.st_uid;
  inherited.group = original.info.st_gid;
  // A read-only file stays as it is, even for a user (root) whom the system would let write it.
  return (inherited.mode & kWriteBits) != 0 && ::access(target.c_str(), W_OK) == 0;
}

// mkstemp creates the file exclusively with owner-only permissions, so nobody can plant a link in
// its place or read it half-written; it gets the original's permissions only once it is ours.
// 0 when written, else the error that stopped it (EPERM for an owner that could not be kept).
int WriteTemporary(const std::string& content, const Inherited& inherited, std::string& temp_path) {
  FileDescriptor fd(::mkostemp(temp_path.data(), O_CLOEXEC));
  if (!fd.valid()) {
    return errno;
  }
  int error = EPERM;
  bool ok = true;
  if (inherited.owner != static_cast<uid_t>(-1)) {
    // Only a privileged writer can hand the file back to its owner. When the owner or group cannot
    // be kept, the driver's own account might lose its access, or another group gain it: refuse.
    [[maybe_unused]] const int ignored = ::fchown(fd.get(), inherited.owner, inherited.group);
    struct stat info {};
    ok = ::fstat(fd.get(), &info) == 0 && info.st_uid == inherited.owner &&
         info.st_gid == inherited.group;
  }
  if (ok) {
    ok = ::fchmod(fd.get(), inherited.mode) == 0 && WriteAll(fd.get(), content) &&
         ::fsync(fd.get()) == 0;
    error = errno;
  }
  if (!fd.Close() || !ok) {
    error = ok ? errno : error;
    ::unlink(temp_path.c_str());
    return error != 0 ? error : EIO;
  }
  return 0;
}

// The profile functions' way, for a folder that refuses new files: the content goes over the file
// itself, from its start, then the rest is cut off. Not atomic (a crash halfway leaves a torn
// file), so only the fallback. The space is claimed first, so that a full disk stops it before any
// byte of the file has changed.
StepOutcome WriteInPlace(const std::string& target, const std::string& content,
                         const FileIdentity& read_identity, WriteFailure& why) {
  FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
  if (!fd.valid()) {
    why = FailureOf(errno);
    return errno == ENOENT ? StepOutcome::kRaced : StepOutcome::kFailed;
  }
  FileIdentity now;
  now.exists = ::fstat(fd.get(), &now.info) == 0;
  if (!SameFile(read_identity, now)) {
    return StepOutcome::kRaced;
  }
  const auto size = static_cast<off_t>(content.size());
  if (size > now.info.st_size && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
      errno != EOPNOTSUPP) {
    why = FailureOf(errno);
    return StepOutcome::kFailed;
  }
  if (!WriteAll(fd.get(), content) || ::ftruncate(fd.get(), size) != 0 || ::fsync(fd.get()) != 0) {
    why = FailureOf(errno);
    return StepOutcome::kFailed;
  }
  return StepOutcome::kDone;
}

// The exclusive lock every writer of a folder's files takes. The folder is locked, not the file:
// the file's inode changes with each replacement, and the folder exists before the file does.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : fd_(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
        open_error_(fd_.valid() ? 0 : errno) {}

  // False when the folder cannot be opened, or another writer holds the lock beyond `wait`. A file
  // system that has no locks is written without one (held() then stays false).
  bool Acquire(std::chrono::milliseconds wait) {
    if (!fd_.valid()) {
      return open_error_ == EACCES;  // a folder we may write but not list: go on unlocked
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
      if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return true;
      }
      if (errno == EINTR) {
        continue;
      }
      if (errno != EWOULDBLOCK) {
        return true;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        timed_out_ = true;
        return false;
      }
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
  }

  bool held() const { return held_; }
  bool timed_out() const { return timed_out_; }
  int folder_fd() const { return fd_.get(); }

 private:
  FileDescriptor fd_;
  int open_error_;
  bool held_ = false;
  bool timed_out_ = false;
};

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// Temporaries of a writer that was killed. Safe only under the lock: then no writer of ours is
// writing one. Only regular files of the user or of the file's owner are taken.
void RemoveLeftoverTemporaries(int folder_fd, const std::string& file_name, uid_t file_owner) {
  const int list_fd = ::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (list_fd < 0) {
    return;
  }
  std::unique_ptr<DIR, DirCloser> dir(::fdopendir(list_fd));
  if (!dir) {
    ::close(list_fd);
    return;
  }
  std::vector<std::string> leftovers;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsTemporaryFileName(file_name, entry->d_name)) {
      leftovers.emplace_back(entry->d_name);
    }
  }
  for (const std::string& name : leftovers) {
    struct stat info {};
    if (::fstatat(folder_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && (info.st_uid == ::geteuid() || info.st_uid == file_owner)) {
      ::unlinkat(folder_fd, name.c_str(), 0);
    }
  }
}

// The same file, unchanged in content: a rename changes a file's ctime but not its mtime.
bool SameContent(const FileIdentity& a, const FileIdentity& b) {
  return a.exists && b.exists && a.info.st_dev == b.info.st_dev && a.info.st_ino == b.info.st_ino &&
         a.info.st_size == b.info.st_size && SameTime(a.info.st_mtim, b.info.st_mtim);
}

StepOutcome RenameInPlace(const std::string& temp_path, const std::string& target,
                          WriteFailure& why) {
  if (::rename(temp_path.c_str(), target.c_str()) != 0) {
    why = FailureOf(errno);
    ::unlink(temp_path.c_str());
    return StepOutcome::kFailed;
  }
  return StepOutcome::kDone;
}

// Puts the temporary file in the file's place. A check made before a plain rename cannot see a
// rename of someone else's that is still under way in the kernel (on ext4 one can wait
// milliseconds for the journal our fsync commits), and ours would then replace theirs. So the two
// files are exchanged atomically and what came out is checked: if it is not what we read, theirs
// goes back and the step starts again. A new file never replaces one that appeared meanwhile.
// File systems without these renames get the plain one.
StepOutcome Install(const std::string& temp_path, const std::string& target,
                    const FileIdentity& read_identity, WriteFailure& why) {
  const char* temp = temp_path.c_str();
  const char* path = target.c_str();
  FileIdentity ours;
  if (!IdentityOfPath(temp_path, ours) || !ours.exists) {
    return StepOutcome::kFailed;
  }
  RunBeforeReplacementHook();
  const unsigned flags = read_identity.exists ? RENAME_EXCHANGE : RENAME_NOREPLACE;
  if (::renameat2(AT_FDCWD, temp, AT_FDCWD, path, flags) != 0) {
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
      return RenameInPlace(temp_path, target, why);
    }
    const bool raced = errno == EEXIST || errno == ENOENT;
    why = FailureOf(errno);
    ::unlink(temp);
    return raced ? StepOutcome::kRaced : StepOutcome::kFailed;
  }
  if (!read_identity.exists) {
    return StepOutcome::kDone;
  }
  // The temporary's name now holds what stood in the file's place: the file we read, or one that
  // someone put there after we read it.
  FileIdentity displaced;
  if (IdentityOfPath(temp_path, displaced) && SameContent(read_identity, displaced)) {
    ::unlink(temp);
    return StepOutcome::kDone;
  }
  // Theirs goes back. Should yet another writer have replaced ours meanwhile, that exchange brings
  // out their newer file instead: one more puts it back in place, and the older one goes, as
  // their own rename would have let it go. Should the file's name have been removed meanwhile,
  // what the temporary's name holds is someone's only copy: it goes back without replacing
  // anything, and is never removed.
  for (int exchange = 0; exchange < 2; ++exchange) {
    RunBeforeReplacementHook();
    if (::renameat2(AT_FDCWD, temp, AT_FDCWD, path, RENAME_EXCHANGE) != 0) {
      if (errno == ENOENT && ::renameat2(AT_FDCWD, temp, AT_FDCWD, path, RENAME_NOREPLACE) == 0) {
        return StepOutcome::kRaced;
      }
      FileIdentity left;
      if (!IdentityOfPath(temp_path, left) || !left.exists ||
          left.info.st_dev != ours.info.st_dev || left.info.st_ino != ours.info.st_ino) {
        return StepOutcome::kFailed;  // theirs stays under the temporary's name
      }
      break;
    }
    FileIdentity out;
    if (!IdentityOfPath(temp_path, out) || !out.exists ||
        (out.info.st_dev == ours.info.st_dev && out.info.st_ino == ours.info.st_ino)) {
      break;
    }
  }
  ::unlink(temp);
  return StepOutcome::kRaced;
}

// One read-modify-replace under the lock. kRaced when the file changed behind our back.
StepOutcome UpdateStep(const std::string& target, const FileEdit& edit, const FolderLock& lock,
                       WriteFailure& why) {
  std::string content;
  FileIdentity read_identity;
  if (ReadStable(target, false, content, read_identity) == ReadResult::kFailed) {
    why = ::access(target.c_str(), R_OK) != 0 ? FailureOf(errno) : WriteFailure::kOther;
    return StepOutcome::kFailed;
  }
  why = WriteFailure::kOther;
  const EditResult edited = edit(content);
  if (edited == EditResult::kFailed) {
    return StepOutcome::kFailed;
  }
  std::string temp_path;
  bool in_place = false;
  if (edited == EditResult::kChanged) {
    Inherited inherited;
    if (!InheritFrom(target, read_identity, inherited)) {
      why = WriteFailure::kNoPermission;
      return StepOutcome::kFailed;
    }
    temp_path =
        PathAppend(PathFolderPart(target), TemporaryFileTemplate(PathLastComponent(target)));
    const int error = WriteTemporary(content, inherited, temp_path);
    // A folder that refuses new files, around a file that may be written: as the driver writes it.
    in_place = error == EACCES && read_identity.exists;
    if (error != 0 && !in_place) {
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
      ::unlink(temp_path.c_str());
    }
    return StepOutcome::kRaced;
  }
  if (in_place) {
    return WriteInPlace(target, content, read_identity, why);
  }
  if (!temp_path.empty()) {
    const StepOutcome installed = Install(temp_path, target, read_identity, why);
    if (installed != StepOutcome::kDone) {
      return installed;
    }
    if (lock.folder_fd() >= 0) {
      ::fsync(lock.folder_fd());
    }
  }
  if (lock.held()) {
    const uid_t owner = read_identity.exists ? read_identity.info.st_uid : ::geteuid();
    RemoveLeftoverTemporaries(lock.folder_fd(), PathLastComponent(target), owner);
  }
  return StepOutcome::kDone;
}

}  // namespace

bool IsExistingFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
  FileIdentity ignored;
  return ReadStable(path, true, content, ignored);
}

WriteResult UpdateWholeFile(const std::string& path, const FileEdit& edit,
                            std::chrono::milliseconds lock_wait) {
  const std::string target = ReplacementTarget(path);
  if (target.empty()) {
    return {WriteFailure::kOther};
  }
  FolderLock lock(PathFolderPart(target));
  if (!lock.Acquire(lock_wait)) {
    return {lock.timed_out() ? WriteFailure::kHeldOpen : WriteFailure::kOther};
  }
  WriteFailure why = WriteFailure::kOther;
  if (file_store::StepUntilDone([&] { return UpdateStep(target, edit, lock, why); })) {
    return {};
  }
  return {why};
}

}  // namespace ventrel
