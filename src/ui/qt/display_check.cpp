#include "ui/qt/display_check.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QLibraryInfo>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
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
// server must send its setup, which names the screen asked for. The connection that answered is
// kept; nullptr when none did.
xcb_connection_t* ConnectToXServer() {
  if (Environment("DISPLAY").empty()) {
    return nullptr;
  }
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screen);
  if (xcb_connection_has_error(connection) == 0 &&
      screen < xcb_setup_roots_length(xcb_get_setup(connection))) {
    return connection;
  }
  xcb_disconnect(connection);
  return nullptr;
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
    if (n < 0 && errno == EINTR) {
      continue;
    }
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

// Whether the platform starts; for X, the connection that says so.
bool PlatformStarts(const std::string& platform, xcb_connection_t*& connection) {
  if (!PluginInstalled(platform)) {
    return false;
  }
  if (platform == "xcb") {
    connection = ConnectToXServer();
    return connection != nullptr;
  }
  if (platform.starts_with("wayland")) {
    return WaylandAnswers();
  }
  return true;
}

}  // namespace

// What the tries found, shared between their thread and the check, which may stop waiting first.
struct DisplayCheck::Tries {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool answered = false;
  bool abandoned = false;
  xcb_connection_t* connection = nullptr;

  void Close() {
    if (connection != nullptr) {
      xcb_disconnect(connection);
      connection = nullptr;
    }
  }

  static void Run(const std::shared_ptr<Tries>& tries) {
    xcb_connection_t* connection = nullptr;
    bool answered = false;
    try {  // an exception would end the process from this thread
      for (const std::string& platform : PlatformsQtTries()) {
        if (PlatformStarts(platform, connection)) {
          answered = true;
          break;
        }
      }
    } catch (const std::exception&) {
      answered = false;
    }
    const std::lock_guard lock(tries->mutex);
    tries->done = true;
    tries->answered = answered;
    tries->connection = connection;
    if (tries->abandoned) {
      tries->Close();
    }
    tries->finished.notify_all();
  }
};

DisplayCheck::~DisplayCheck() {
  if (!tries_) {
    return;
  }
  const std::lock_guard lock(tries_->mutex);
  tries_->abandoned = true;
  if (tries_->done) {
    tries_->Close();
  }
}

bool DisplayCheck::Answered(std::chrono::milliseconds timeout) {
  if (!tries_) {
    tries_ = std::make_shared<Tries>();
    std::thread(&Tries::Run, tries_).detach();
  }
  std::unique_lock lock(tries_->mutex);
  return tries_->finished.wait_for(lock, timeout, [this] { return tries_->done; }) &&
         tries_->answered;
}

}  // namespace ventrel
