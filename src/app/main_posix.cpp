// Entry point on Linux: the arguments arrive already split. The windows come from a module that is
// loaded only when one must be shown.
#include "app/ventrel_conf.h"
#include "app/window_module_posix.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  ventrel::Platform& real = ventrel::RealPlatform();
  ventrel::WindowModule windows(ventrel::WindowModulePath(real.ExePath()), real);
  ventrel::InstallPlatform(&windows);
  ventrel::CVentrelConf application;
  const int status = application.InitInstance(arguments, &windows);
  ventrel::InstallPlatform(nullptr);
  return status;
}
