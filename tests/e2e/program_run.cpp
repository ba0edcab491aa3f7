#include "e2e/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <filesystem>

extern char** environ;

namespace fs = std::filesystem;

namespace ventrel::test {
namespace {

class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds_.data(), O_CLOEXEC) != 0) {
      fds_ = {-1, -1};
    }
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  bool valid() const { return fds_[0] >= 0; }
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void CloseRead() { Close(fds_[0]); }
  void CloseWrite() { Close(fds_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) {
      ::close(fd);
      fd = -1;
    }
  }
  std::array<int, 2> fds_{-1, -1};
};

// Both pipes are drained together: a program that fills one while the test waits on the other
// would otherwise block for ever.
void Drain(Pipe& out_pipe, std::string& out, Pipe& err_pipe, std::string& err) {
  std::array<pollfd, 2> fds{{{out_pipe.read_end(), POLLIN, 0}, {err_pipe.read_end(), POLLIN, 0}}};
  std::array<std::string*, 2> sinks{&out, &err};
  int open_count = 2;
  while (open_count > 0) {
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      std::array<char, 4096> buffer{};
      const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
      if (n > 0) {
        sinks[i]->append(buffer.data(), static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;  // poll skips negative descriptors
        --open_count;
      }
    }
  }
}

int WaitForExit(pid_t pid) {
  int wait_status = 0;
  while (::waitpid(pid, &wait_status, 0) < 0) {
    if (errno != EINTR) {
      return -1;
    }
  }
  if (WIFEXITED(wait_status)) {
    return WEXITSTATUS(wait_status);
  }
  return WIFSIGNALED(wait_status) ? 128 + WTERMSIG(wait_status) : -1;
}

// The test's environment without a display, so that no window front end can take the messages
// away from standard error.
std::vector<char*> EnvironmentWithoutDisplay() {
  std::vector<char*> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (!text.starts_with("DISPLAY=") && !text.starts_with("WAYLAND_DISPLAY=")) {
      env.push_back(*entry);
    }
  }
  env.push_back(nullptr);
  return env;
}

}  // namespace

ProgramResult RunProgram(const std::string& exe, const std::vector<std::string>& arguments) {
  ProgramResult result;
  Pipe out_pipe;
  Pipe err_pipe;
  if (!out_pipe.valid() || !err_pipe.valid()) {
    ADD_FAILURE() << "cannot create pipes";
    return result;
  }

  std::vector<std::string> argv_text{exe};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_text) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe.write_end(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_pipe.write_end(), STDERR_FILENO);
  pid_t pid = -1;
  std::vector<char*> env = EnvironmentWithoutDisplay();
  const int spawned = ::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  out_pipe.CloseWrite();
  err_pipe.CloseWrite();
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << exe << ": error " << spawned;
    return result;
  }

  Drain(out_pipe, result.out, err_pipe, result.err);
  result.status = WaitForExit(pid);
  return result;
}

std::string CatalogueText(const std::string& manufacturer) {
  return "; Models this installation offers, and the brand of the local layout.\r\n"
         "[Model]\r\n"
         "Manufacturer=" +
         manufacturer +
         "\r\n"
         "\r\n"
         "[VentrelV1]\r\n"
         "DISPLAY=Ventrel 2D\r\n"
         "\r\n"
         "[Ventrel3DV1]\r\n"
         "DISPLAY=Ventrel 3D (version 1)\r\n"
         "\r\n"
         "[Ventrel3DV2]\r\n"
         "DISPLAY=Ventrel 3D (version 2)\r\n";
}

std::string DriverBoardText() {
  // The driver has edited this file by hand and by program over the years: CRLF with a stray LF
  // line, a section name in its own case and spacing, a comment that looks like a key.
  return "; Settings of the panoramic unit's driver library.\r\n"
         "; VentrelConf changes only BOARD.\r\n"
         "\r\n"
         "[NETWORK]\r\n"
         "UNIT_ADDRESS = 192.168.10.20\r\n"
         "UNIT_PORT\t= 5000\n"
         "TIMEOUT_MS=2500\r\n"
         "\r\n"
         "[ Board ]  ; the model\r\n"
         "; TYPE=100 was the prototype\r\n"
         "Type = 300\t\r\n"
         "SERIAL=\"PX-0042 ; rev B\"\r\n"
         "\r\n"
         "; acquisition follows\r\n"
         "[ACQUISITION]\n"
         "EXPOSURE_KV=70\n"
         "TYPE_SUB=7\n"
         "CALIBRATION_FILE=calib\\unit0042.dat\r\n";
}

LocalLayout::LocalLayout(const std::string& exe_name) : exe_(dir_.Path(exe_name)) {
  std::error_code error;
  fs::copy_file(VENTREL_EXE, exe_, error);
  if (error) {
    ADD_FAILURE() << "cannot copy " << VENTREL_EXE << " to " << exe_ << ": " << error.message();
    return;
  }
  fs::permissions(exe_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec,
                  error);
}

std::string LocalLayout::ProductFolder(const BrandNames& brand) const {
  return dir_.Path(brand.product_folder);
}

std::string LocalLayout::BoardPath(const BrandNames& brand) const {
  return ProductFolder(brand) + "/VENTREL_DLL.INI";
}

std::string LocalLayout::CataloguePath(const BrandNames& brand) const {
  return ProductFolder(brand) + "/VentrelConf.ini";
}

void LocalLayout::Put(const BrandNames& brand, const std::string& name,
                      const std::string& content) const {
  WriteFile(ProductFolder(brand) + "/" + name, content);
}

void LocalLayout::PutStandardFiles(const BrandNames& brand) const {
  Put(brand, "VentrelConf.ini", CatalogueText(brand.manufacturer));
  Put(brand, "VENTREL_DLL.INI", DriverBoardText());
}

ProgramResult LocalLayout::Run(const std::vector<std::string>& arguments) const {
  return RunProgram(exe_, arguments);
}

}  // namespace ventrel::test
