// Entry point on Linux: the arguments arrive already split.
#include "app/ventrel_conf.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  ventrel::CVentrelConf application;
  return application.InitInstance(arguments, nullptr);
}
