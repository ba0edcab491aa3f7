// The file store's primitives on Linux (renameat2, flock, st_mtim): paths are bytes, a file's
// identity is its device, inode, size and times.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>

#include "utility/platform/path.h"
#include "utility/store/primitives.h"

namespace ventrel::store {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
// The kernel's own limit on a chain of links.
constexpr int kMaxLinkHops = 40;

int Fd(const FileHandle& file) {
  return static_cast<int>(file.get());
}

SystemError LastError() {
  return static_cast<SystemError>(errno);
}

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileIdentity IdentityFrom(const struct stat& info) {
  FileIdentity identity;
  identity.exists = true;
  identity.device = info.st_dev;
  identity.index = info.st_ino;
  identity.size = static_cast<std::uint64_t>(info.st_size);
  identity.write_time = Nanoseconds(info.st_mtim);
  identity.written_ms = identity.write_time / 1000000;
  identity.change_time = Nanoseconds(info.st_ctim);
  identity.mode = info.st_mode;
  identity.owner = info.st_uid;
  identity.group = info.st_gid;
  identity.plain = S_ISREG(info.st_mode);
  return identity;
}

// The primitives as the kernel gives them.
class LinuxFileSystem final : public FileSystem {
 public:
  ErrorMeaning Meaning(SystemError error) const override;
  bool CanExchange() const override { return true; }
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
                                 const std::function<bool()>& unchanged) override {
    return unchanged() ? Rename(from, to, RenameMode::kReplace) : kChangedMeanwhile;
  }
  SystemError LinkBeside(const NativePath& target, const NativePath& link) override;
  std::int64_t BootedAtMs() override;
  // A rename over a file is never refused for its being open.
  void Pause(std::chrono::milliseconds time) override;
  std::unique_ptr<WriterLock> LockFor(const NativePath& target) override;
};

// flock on the file's folder.
class FolderLock final : public WriterLock {
 public:
  explicit FolderLock(const NativePath& target);
  LockState Acquire(std::chrono::milliseconds wait) override;
  bool held() const override { return held_; }
  SystemError SyncFolder() const override;
  std::vector<NativePath> RemovableFiles(const NativePath& target, const NativePath& prefix,
                                         const FileIdentity& file) const override;
  void RemoveBeside(const NativePath& target, const NativePath& name) const override;

 private:
  FileHandle handle_;
  SystemError open_error_ = 0;
  bool held_ = false;
};

// The file system keeps no Unix owners or modes at all (FAT, exFAT, many FUSE mounts): it shows
// every file alike, and what a replacement cannot be given, no other file there has either.
bool CannotKeep(int error) {
  return error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

// Gives the replacement the original's owner, group and permissions, calling only for what
// differs: a file system that cannot change them often already shows them as they must be.
SystemError KeepOwnerAndMode(const FileHandle& file, const FileIdentity& original) {
  const auto IdentityOf = [](const FileHandle& handle, FileIdentity& identity) {
    struct stat info {};
    identity = ::fstat(Fd(handle), &info) == 0 ? IdentityFrom(info) : FileIdentity{};
    return identity.exists;
  };
  FileIdentity ours;
  if (!IdentityOf(file, ours)) {
    return LastError();
  }
  if (ours.owner != original.owner || ours.group != original.group) {
    // Only a privileged writer can hand the file back to its owner. Where owners exist and cannot
    // be kept, the driver's own account might lose its access, or another group gain it: refuse.
    const bool changed = ::fchown(Fd(file), original.owner, original.group) == 0;
    const bool no_owners = !changed && CannotKeep(errno);
    if (!no_owners &&
        (!IdentityOf(file, ours) || ours.owner != original.owner || ours.group != original.group)) {
      return EPERM;
    }
  }
  // Our own new file may always be given any mode where modes exist: a refusal means they do not.
  if ((ours.mode & 07777) != (original.mode & 07777) &&
      ::fchmod(Fd(file), original.mode & 07777) != 0 && !CannotKeep(errno) && errno != EPERM) {
    return LastError();
  }
  return 0;
}

}  // namespace

const NativeChar kSeparators[] = "/";

FileSystem& RealFileSystem() {
  static LinuxFileSystem fs;
  return fs;
}

bool LinuxFileSystem::CloseNative(std::intptr_t native) {
  const int fd = static_cast<int>(native);
  return fd < 0 || ::close(fd) == 0;
}

// Nobody holds a file against us here: a folder that refuses new entries, or a file mounted
// over (a container's bind mount), refuses, and the file itself may still be written.
ErrorMeaning LinuxFileSystem::Meaning(SystemError error) const {
  switch (error) {
    case 0:
      return {};
    case ENOENT:
    case ENOTDIR:
      return {ErrorKind::kMissing, WriteFailure::kOther};
    case EEXIST:
      return {ErrorKind::kExisting, WriteFailure::kOther};
    case EACCES:
      return {ErrorKind::kRefused, WriteFailure::kNoPermission};
    case EBUSY:
      return {ErrorKind::kRefused, WriteFailure::kHeldOpen};
    case EINVAL:
    case ENOSYS:
    case ENOTSUP:
      return {ErrorKind::kUnsupported, WriteFailure::kOther};
    case EPERM:
    case EROFS:
      return {ErrorKind::kOther, WriteFailure::kNoPermission};
    case ENOSPC:
    case EDQUOT:
      return {ErrorKind::kOther, WriteFailure::kDiskFull};
    case ETXTBSY:
      return {ErrorKind::kOther, WriteFailure::kHeldOpen};
    default:
      return {ErrorKind::kOther, WriteFailure::kOther};
  }
}

std::int64_t LinuxFileSystem::BootedAtMs() {
  timespec now{};
  timespec up{};
  clock_gettime(CLOCK_REALTIME, &now);
  clock_gettime(CLOCK_BOOTTIME, &up);
  return (now.tv_sec - up.tv_sec) * 1000 + (now.tv_nsec - up.tv_nsec) / 1000000;
}

void LinuxFileSystem::Pause(std::chrono::milliseconds time) {
  std::this_thread::sleep_for(time);
}

NativePath LinuxFileSystem::NativeFromPath(const std::string& path) {
  return path;
}

// Empty when `path` is a dangling link or a loop, or when a link on the way belongs to someone
// other than the user, root or the final file's owner: a link another user planted in a shared
// folder must not make our write land on a file of their choosing.
NativePath LinuxFileSystem::ReplacementTarget(const NativePath& path) {
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
    const uid_t owner = link_info.st_uid;
    if (owner != ::geteuid() && owner != 0 && owner != final_info.st_uid) {
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

bool LinuxFileSystem::IsPlainFileAt(const NativePath& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FileHandle LinuxFileSystem::OpenForReading(const NativePath& path, bool follow_link,
                                           SystemError& error) {
  // O_NONBLOCK: opening a pipe must not wait for a writer; it is refused afterwards anyway.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (follow_link ? 0 : O_NOFOLLOW);
  const int fd = ::open(path.c_str(), flags);
  error = fd < 0 ? LastError() : 0;
  return FileHandle(fd);
}

FileHandle LinuxFileSystem::OpenForWriting(const NativePath& path, SystemError& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
  error = fd < 0 ? LastError() : 0;
  return FileHandle(fd);
}

bool LinuxFileSystem::IdentityOf(const FileHandle& file, FileIdentity& identity) {
  struct stat info {};
  identity = ::fstat(Fd(file), &info) == 0 ? IdentityFrom(info) : FileIdentity{};
  return identity.exists;
}

bool LinuxFileSystem::IdentityAt(const NativePath& path, FileIdentity& identity) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    identity = IdentityFrom(info);
    return true;
  }
  identity = FileIdentity{};
  return errno == ENOENT;
}

std::int64_t LinuxFileSystem::ReadSome(const FileHandle& file, char* buffer, std::size_t size,
                                       SystemError& error) {
  for (;;) {
    const ssize_t n = ::read(Fd(file), buffer, size);
    if (n >= 0 || errno != EINTR) {
      error = n < 0 ? LastError() : 0;
      return n;
    }
  }
}

std::int64_t LinuxFileSystem::WriteSome(const FileHandle& file, const char* data, std::size_t size,
                                        SystemError& error) {
  for (;;) {
    const ssize_t n = ::write(Fd(file), data, size);
    if (n >= 0 || errno != EINTR) {
      error = n < 0 ? LastError() : 0;
      return n;
    }
  }
}

// A big file's buffer would have its pages faulted in one at a time as the read fills them, which
// costs more than the read itself; one call maps them all. Kernels before 5.14 decline, harmlessly.
void LinuxFileSystem::PrepareToFill(std::string& content) {
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

// A read-only file stays as it is, even for a user (root) whom the system would let write it.
bool LinuxFileSystem::MayReplace(const NativePath& target, const FileIdentity& original) {
  return !original.exists ||
         ((original.mode & kWriteBits) != 0 && ::access(target.c_str(), W_OK) == 0);
}

// A replacement is created owner-only, so nobody can read it half-written, and gets the
// original's permissions once it is ours; a new file is created with the mode a new file of the
// folder gets (the umask, a default access list).
SystemError LinuxFileSystem::WriteTemporary(const NativePath& temp_path,
                                            const NativePath& /*target*/,
                                            const std::string& content,
                                            const FileIdentity& original) {
  const mode_t mode = original.exists ? 0600 : 0666;
  FileHandle fd(
      ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode));
  if (!fd.valid()) {
    return LastError();
  }
  SystemError error = original.exists ? KeepOwnerAndMode(fd, original) : 0;
  if (error == 0) {
    error = WriteAll(fd, content);
  }
  if (error == 0 && ::fsync(Fd(fd)) != 0) {
    error = LastError();
  }
  if (!fd.Close() && error == 0) {
    error = LastError();
  }
  if (error != 0) {
    ::unlink(temp_path.c_str());
  }
  return error;
}

SystemError LinuxFileSystem::Overwrite(const FileHandle& file, const std::string& content,
                                       const FileIdentity& now) {
  const auto size = static_cast<off_t>(content.size());
  if (content.size() > now.size && ::fallocate(Fd(file), FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
      errno != EOPNOTSUPP) {
    return LastError();
  }
  if (const SystemError error = WriteAll(file, content)) {
    return error;
  }
  return ::ftruncate(Fd(file), size) != 0 ? LastError() : 0;
}

SystemError LinuxFileSystem::Flush(const NativePath& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return LastError();
  }
  const bool flushed = ::fsync(fd) == 0;
  const SystemError error = flushed ? 0 : LastError();
  ::close(fd);
  return error;
}

void LinuxFileSystem::RemoveFile(const NativePath& path) {
  ::unlink(path.c_str());
}

// A file system (or a kernel) without renameat2's flags gets the plain rename for a new file; an
// exchange it cannot do is left to the caller, who renames over instead.
SystemError LinuxFileSystem::Rename(const NativePath& from, const NativePath& to, RenameMode mode) {
  if (mode != RenameMode::kReplace) {
    const unsigned flags = mode == RenameMode::kExchange ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0) {
      return 0;
    }
    if (mode == RenameMode::kExchange || Meaning(LastError()).kind != ErrorKind::kUnsupported) {
      return LastError();
    }
  }
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : LastError();
}

// Only where there is no exchange: FAT has no hard links (EPERM), and the rename is then watched
// by a last look at the content alone.
SystemError LinuxFileSystem::LinkBeside(const NativePath& target, const NativePath& link) {
  return ::link(target.c_str(), link.c_str()) == 0 ? 0 : LastError();
}

// The folder is locked, not the file: the file's inode changes with each replacement, and the
// folder exists before the file does.
std::unique_ptr<WriterLock> LinuxFileSystem::LockFor(const NativePath& target) {
  return std::make_unique<FolderLock>(target);
}

FolderLock::FolderLock(const NativePath& target) {
  const std::string folder = PathFolderPart(target);
  handle_ =
      FileHandle(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  open_error_ = handle_.valid() ? 0 : LastError();
}

LockState FolderLock::Acquire(std::chrono::milliseconds wait) {
  if (!handle_.valid()) {
    // A folder we may write but not list: go on unlocked.
    return open_error_ == EACCES ? LockState::kNone : LockState::kFailed;
  }
  const auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (::flock(Fd(handle_), LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return LockState::kHeld;
    }
    if (errno == EINTR) {
      continue;
    }
    if (errno != EWOULDBLOCK) {
      return LockState::kNone;  // a file system without locks
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return LockState::kTimedOut;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

// Some file systems cannot flush a folder; their renames are as durable as they get.
SystemError FolderLock::SyncFolder() const {
  if (!handle_.valid() || ::fsync(Fd(handle_)) == 0 || errno == EINVAL || errno == ENOTSUP) {
    return 0;
  }
  return LastError();
}

std::vector<NativePath> FolderLock::RemovableFiles(const NativePath& /*target*/,
                                                   const NativePath& prefix,
                                                   const FileIdentity& file) const {
  std::vector<NativePath> names;
  const int list_fd = ::openat(Fd(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = list_fd < 0 ? nullptr : ::fdopendir(list_fd);
  const uid_t owner = file.exists ? file.owner : ::geteuid();
  while (const dirent* entry = dir == nullptr ? nullptr : ::readdir(dir)) {
    struct stat info {};
    if (std::string_view(entry->d_name).starts_with(prefix) &&
        ::fstatat(Fd(handle_), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && (info.st_uid == ::geteuid() || info.st_uid == owner)) {
      names.emplace_back(entry->d_name);
    }
  }
  if (dir != nullptr) {
    ::closedir(dir);
  } else if (list_fd >= 0) {
    ::close(list_fd);
  }
  return names;
}

void FolderLock::RemoveBeside(const NativePath& /*target*/, const NativePath& name) const {
  ::unlinkat(Fd(handle_), name.c_str(), 0);
}

}  // namespace ventrel::store
