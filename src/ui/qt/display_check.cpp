#include "ui/qt/display_check.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QLibraryInfo>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ventrel {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find(separator, begin)) != std::string::npos; begin = end + 1) {
    parts.push_back(text.substr(begin, end - begin));
  }
  parts.push_back(text.substr(begin));
  return parts;
}

// The platforms Qt tries, in its order: those QT_QPA_PLATFORM names (without their options), or
// else Wayland in a Wayland session, then X, which is also its default.
std::vector<std::string> PlatformsQtTries() {
  std::vector<std::string> platforms;
  const std::string chosen = Environment("QT_QPA_PLATFORM");
  if (!chosen.empty()) {
    for (const std::string& entry : Split(chosen, ';')) {
      platforms.push_back(entry.substr(0, entry.find(':')));
    }
    return platforms;
  }
  if (!Environment("WAYLAND_DISPLAY").empty() || Environment("XDG_SESSION_TYPE") == "wayland") {
    platforms.emplace_back("wayland");
  }
  platforms.emplace_back("xcb");
  return platforms;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool FolderHasPlugin(const std::string& folder, const std::string& platform) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) {
    return false;
  }
  // libqxcb.so, libqwayland-egl.so, libqoffscreen.so: "libq", the platform's name, ".so".
  const std::string prefix = "libq" + platform;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name.starts_with(prefix) && name.ends_with(".so")) {
      return true;
    }
  }
  return false;
}

// Where Qt looks for platform plugins: its own folder and the folders the environment adds.
bool PluginInstalled(const std::string& platform) {
  std::vector<std::string> folders = {Environment("QT_QPA_PLATFORM_PLUGIN_PATH")};
  for (const std::string& folder : Split(Environment("QT_PLUGIN_PATH"), ':')) {
    folders.push_back(folder + "/platforms");
  }
  folders.push_back(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms");
  for (const std::string& folder : folders) {
    if (!folder.empty() && FolderHasPlugin(folder, platform)) {
      return true;
    }
  }
  return false;
}

// The connection Qt's X platform makes: xcb reads DISPLAY and the authority file alike, and the
// server must send its setup, which names the screen asked for.
bool XServerAnswers() {
  if (Environment("DISPLAY").empty()) {
    return false;
  }
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screen);
  const bool answered = xcb_connection_has_error(connection) == 0 &&
                        screen < xcb_setup_roots_length(xcb_get_setup(connection));
  xcb_disconnect(connection);
  return answered;
}

class Socket {
 public:
  Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool ReadFully(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::read(fd, bytes, size);
    if (n <= 0) {
      return false;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The compositor's socket, then one round trip of the Wayland protocol: wl_display.sync creates a
// callback object, which the compositor answers with its done event.
bool WaylandAnswers() {
  const std::string name = Environment("WAYLAND_DISPLAY").empty() ? std::string("wayland-0")
                                                                  : Environment("WAYLAND_DISPLAY");
  const std::string runtime = Environment("XDG_RUNTIME_DIR");
  const std::string path = name.front() == '/' ? name : runtime + "/" + name;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if ((name.front() != '/' && runtime.empty()) || path.size() >= sizeof address.sun_path) {
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const Socket socket;
  const int fd = socket.get();
  if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return false;
  }
  constexpr std::uint32_t kDisplay = 1;
  constexpr std::uint32_t kCallback = 2;
  constexpr std::uint32_t kSyncOrDone = 0;
  const std::uint32_t sync[3] = {kDisplay, (12u << 16) | kSyncOrDone, kCallback};
  if (::send(fd, sync, sizeof sync, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof sync)) {
    return false;
  }
  for (;;) {
    std::uint32_t header[2] = {};
    if (!ReadFully(fd, header, sizeof header) || (header[1] >> 16) < sizeof header) {
      return false;
    }
    std::vector<char> body((header[1] >> 16) - sizeof header);
    if (!ReadFully(fd, body.data(), body.size())) {
      return false;
    }
    if (header[0] == kCallback && (header[1] & 0xFFFF) == kSyncOrDone) {
      return true;
    }
    if (header[0] == kDisplay && (header[1] & 0xFFFF) == 0) {
      return false;  // wl_display.error
    }
  }
}

bool PlatformStarts(const std::string& platform) {
  if (!PluginInstalled(platform)) {
    return false;
  }
  if (platform == "xcb") {
    return XServerAnswers();
  }
  if (platform.starts_with("wayland")) {
    return WaylandAnswers();
  }
  return true;
}

[[noreturn]] void CheckInChild() {
  // Noise and a core file would only confuse: the parent says what went wrong.
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) {
    ::dup2(null, STDERR_FILENO);
  }
  const rlimit no_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
  for (const std::string& platform : PlatformsQtTries()) {
    if (PlatformStarts(platform)) {
      ::_exit(0);
    }
  }
  ::_exit(1);
}

// Waits for the child's end, which closes its end of the pipe, for at most `timeout`.
bool EndsInTime(int pipe_end, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd end{pipe_end, POLLIN, 0};
    const int ready = ::poll(&end, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready > 0) {
      return true;
    }
    if (ready == 0 || errno != EINTR) {
      return false;
    }
  }
}

}  // namespace

bool DisplayAnswers(std::chrono::milliseconds timeout) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    return false;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    CheckInChild();
  }
  ::close(ends[1]);
  if (child < 0) {
    ::close(ends[0]);
    return false;
  }
  const bool ended = EndsInTime(ends[0], timeout);
  ::close(ends[0]);
  if (!ended) {
    ::kill(child, SIGKILL);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace ventrel
