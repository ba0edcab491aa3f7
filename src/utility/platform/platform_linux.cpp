// The real platform on Linux: folders from /proc, the file-system hierarchy and XDG; messages on
// standard error until a window front end takes them over.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "utility/platform/path.h"
#include "utility/platform/platform.h"

namespace ventrel {
namespace {

constexpr const char* kProgramsFolder = "/opt";

std::string ReadExeLink() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
      return {};
    }
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);  // possibly cut short: try again with more room
  }
}

// The programs folder as the kernel reports executables in it, so that a link on the way (/opt
// pointing elsewhere) does not hide an installed layout.
std::string CanonicalFolder(const char* folder) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(folder, nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string(folder);
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

class PosixPlatform final : public Platform {
 public:
  std::string ExePath() const override { return ReadExeLink(); }

  std::vector<std::string> ProgramsFolders() const override {
    return {CanonicalFolder(kProgramsFolder)};
  }

  // XDG's rule: $XDG_CONFIG_HOME when it is an absolute path, ~/.config otherwise.
  std::string AppDataFolder() const override {
    const std::string xdg = EnvironmentValue("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg.front() == '/') {
      return xdg;
    }
    const std::string home = EnvironmentValue("HOME");
    return home.empty() ? std::string() : PathAppend(home, ".config");
  }

  std::string LocalBaseFolder() const override {
    const std::string exe = ExePath();
    return exe.empty() ? std::string() : PathFolderPart(exe);
  }

  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon) override {
    const std::string line = caption + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
};

}  // namespace

Platform& RealPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace ventrel
