// Entry point on Linux: the arguments arrive already split. The windows come from a module that is
// loaded only when one must be shown.
#include <csignal>

#include "app/ventrel_conf.h"
#include "ui/linux/window_module.h"
#include "utility/platform/folders.h"

int main(int argc, char** argv) {
  // Under a file-size limit the kernel would kill the program mid-write with SIGXFSZ; ignored, the
  // write fails with EFBIG instead, and the program reports it and cleans up after itself.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  ventrel::WindowModule windows(ventrel::WindowModulePath(ventrel::RealFolders().ExePath()),
                                ventrel::PlatformMessageSink());
  const ventrel::MessageSinkScope boxes(windows);
  ventrel::CVentrelConf application;
  return application.InitInstance(arguments, &windows);
}
