// Entry point on Linux: the arguments arrive already split. The windows come from a module that is
// loaded only when one must be shown.
#include <csignal>

#include "app/ventrel_conf.h"
#include "app/window_module_posix.h"

int main(int argc, char** argv) {
  // Under a file-size limit the kernel would kill the program mid-write with SIGXFSZ; ignored, the
  // write fails with EFBIG instead, and the program reports it and cleans up after itself.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  ventrel::Platform& real = ventrel::RealPlatform();
  ventrel::WindowModule windows(ventrel::WindowModulePath(real.ExePath()), real);
  ventrel::InstallPlatform(&windows);
  ventrel::CVentrelConf application;
  const int status = application.InitInstance(arguments, &windows);
  ventrel::InstallPlatform(nullptr);
  return status;
}
