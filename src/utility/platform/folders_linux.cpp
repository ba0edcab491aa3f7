// The real folders on Linux: the executable from /proc, the file-system hierarchy and XDG.
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "utility/platform/environment.h"
#include "utility/platform/folders.h"
#include "utility/platform/path.h"

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

class LinuxFolders final : public PlatformFolders {
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
};

}  // namespace

const PlatformFolders& RealFolders() {
  static const LinuxFolders folders;
  return folders;
}

}  // namespace ventrel
