// File I/O on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "utility/file_store.h"
#include "utility/path.h"

namespace ventrel {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
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

// The file a write must really replace: the final target of a symbolic link, the path itself
// otherwise. Empty when `path` is a dangling link.
std::string ReplacementTarget(const std::string& path) {
  struct stat link_info {};
  if (::lstat(path.c_str(), &link_info) != 0 || !S_ISLNK(link_info.st_mode)) {
    return path;
  }
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

// What the replacement inherits from the original: permissions and owner. A new file gets the
// usual permissions and the writer as owner.
struct Inherited {
  mode_t mode = 0;
  uid_t owner = static_cast<uid_t>(-1);
  gid_t group = static_cast<gid_t>(-1);
};

bool InheritFrom(const std::string& target, Inherited& inherited) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) {
    if (errno != ENOENT) {
      return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    inherited.mode = 0666 & ~mask;
    return true;
  }
  inherited.mode = info.st_mode & 07777;
  inherited.owner = info.st_uid;
  inherited.group = info.st_gid;
  // A read-only file stays as it is, even for a user (root) whom the system would let write it.
  return S_ISREG(info.st_mode) && (inherited.mode & kWriteBits) != 0 &&
         ::access(target.c_str(), W_OK) == 0;
}

void FlushFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY));
  if (dir.valid()) {
    ::fsync(dir.get());
  }
}

// mkstemp creates the file exclusively with owner-only permissions, so nobody can plant a link in
// its place or read it half-written; it gets the original's permissions only once it is ours.
bool WriteTemporary(const std::string& content, const Inherited& inherited,
                    std::string& temp_path) {
  FileDescriptor fd(::mkstemp(temp_path.data()));
  if (!fd.valid()) {
    return false;
  }
  if (inherited.owner != static_cast<uid_t>(-1)) {
    // Only a privileged writer can hand the file back to its owner; anyone else owns it already.
    [[maybe_unused]] const int ignored = ::fchown(fd.get(), inherited.owner, inherited.group);
  }
  const bool ok = ::fchmod(fd.get(), inherited.mode) == 0 && WriteAll(fd.get(), content) &&
                  ::fsync(fd.get()) == 0;
  if (!fd.Close() || !ok) {
    ::unlink(temp_path.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool IsExistingFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  FileDescriptor fd(path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    return path.empty() || errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing
                                                               : ReadResult::kFailed;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return ReadResult::kFailed;
  }
  content.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      content.clear();
      return ReadResult::kFailed;
    }
    if (n == 0) {
      return ReadResult::kOk;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

bool ReplaceWholeFile(const std::string& path, const std::string& content) {
  const std::string target = ReplacementTarget(path);
  Inherited inherited;
  if (target.empty() || !InheritFrom(target, inherited)) {
    return false;
  }
  const std::string folder = PathFolderPart(target);
  std::string temp_path = PathAppend(folder, "." + PathLastComponent(target) + ".XXXXXX");
  if (!WriteTemporary(content, inherited, temp_path)) {
    return false;
  }
  if (::rename(temp_path.c_str(), target.c_str()) != 0) {
    ::unlink(temp_path.c_str());
    return false;
  }
  FlushFolder(folder);
  return true;
}

}  // namespace ventrel
