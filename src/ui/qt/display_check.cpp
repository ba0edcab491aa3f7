#include "ui/qt/display_check.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "utility/platform/environment.h"

namespace ventrel {
namespace {

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
  const std::string chosen = EnvironmentValue("QT_QPA_PLATFORM");
  if (!chosen.empty()) {
    for (const std::string& entry : Split(chosen, ';')) {
      platforms.push_back(entry.substr(0, entry.find(':')));
    }
    return platforms;
  }
  if (!EnvironmentValue("WAYLAND_DISPLAY").empty() ||
      EnvironmentValue("XDG_SESSION_TYPE") == "wayland") {
    platforms.emplace_back("wayland");
  }
  platforms.emplace_back("xcb");
  return platforms;
}

// The connection Qt's X platform makes: xcb reads DISPLAY and the authority file alike, and the
// server must send its setup, which names the screen asked for. The connection that answered is
// kept; nullptr when none did.
xcb_connection_t* ConnectToXServer() {
  if (EnvironmentValue("DISPLAY").empty()) {
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

// The Wayland wire protocol, as far as one round trip needs it. A message is the object's id, then
// one word with its size in bytes (the upper 16 bits, header included) and its opcode (the lower
// 16), then its arguments.
constexpr std::uint32_t kDisplayObject = 1;   // wl_display, which every client has from the start
constexpr std::uint32_t kCallbackObject = 2;  // the first id a client allocates
constexpr std::uint32_t kSyncRequest = 0;     // wl_display.sync(new_id callback)
constexpr std::uint32_t kErrorEvent = 0;      // wl_display.error
constexpr std::uint32_t kDoneEvent = 0;       // wl_callback.done
constexpr unsigned kSizeShift = 16;
constexpr std::uint32_t kOpcodeMask = 0xFFFF;

constexpr std::uint32_t MessageHeader(std::size_t size, std::uint32_t opcode) {
  return (static_cast<std::uint32_t>(size) << kSizeShift) | opcode;
}

constexpr std::size_t MessageSize(std::uint32_t word) {
  return word >> kSizeShift;
}

constexpr std::uint32_t MessageOpcode(std::uint32_t word) {
  return word & kOpcodeMask;
}

// The compositor's socket, then one round trip of the Wayland protocol: wl_display.sync creates a
// callback object, which the compositor answers with its done event.
bool WaylandAnswers() {
  const std::string name = EnvironmentValue("WAYLAND_DISPLAY").empty()
                               ? std::string("wayland-0")
                               : EnvironmentValue("WAYLAND_DISPLAY");
  const std::string runtime = EnvironmentValue("XDG_RUNTIME_DIR");
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
  const std::uint32_t sync[3] = {kDisplayObject, MessageHeader(sizeof sync, kSyncRequest),
                                 kCallbackObject};
  if (::send(fd, sync, sizeof sync, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof sync)) {
    return false;
  }
  for (;;) {
    std::uint32_t header[2] = {};
    if (!ReadFully(fd, header, sizeof header) || MessageSize(header[1]) < sizeof header) {
      return false;
    }
    std::vector<char> body(MessageSize(header[1]) - sizeof header);
    if (!ReadFully(fd, body.data(), body.size())) {
      return false;
    }
    if (header[0] == kCallbackObject && MessageOpcode(header[1]) == kDoneEvent) {
      return true;
    }
    if (header[0] == kDisplayObject && MessageOpcode(header[1]) == kErrorEvent) {
      return false;
    }
  }
}

// Whether the platform's display answers; for X, the connection that says so. A platform with
// nothing cheaper to try than Qt itself counts, and so does one whose plugin is missing or broken:
// Qt's fatal message then says so, and the start-up guard turns it into the same line.
bool DisplayAnswers(const std::string& platform, xcb_connection_t*& connection) {
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
        if (DisplayAnswers(platform, connection)) {
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
