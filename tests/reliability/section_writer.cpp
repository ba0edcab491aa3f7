// Another process of the driver's side that keeps rewriting one key of an unrelated section of the
// board file through the same library, while VentrelConf instances write models into it.
//   ventrel_section_writer FILE SECTION KEY COUNT PAUSE_US
// Writes 1 to COUNT; after each write the key must read back as written. Exit status 0 when every
// write went through, 1 otherwise (with the reason on standard error).
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "utility/ini/ini.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s FILE SECTION KEY COUNT PAUSE_US\n", argv[0]);
    return 2;
  }
  std::signal(SIGXFSZ, SIG_IGN);
  const std::string file = argv[1];
  const std::string section = argv[2];
  const std::string key = argv[3];
  const int count = std::stoi(argv[4]);
  const int pause_us = std::stoi(argv[5]);
  ventrel::CIni ini;
  for (int i = 1; i <= count; ++i) {
    const std::string value = std::to_string(i);
    if (!ini.Affecte(value, key, section, file)) {
      std::fprintf(stderr, "write %d failed\n", i);
      return 1;
    }
    std::string read_back;
    if (!ini.Donne(read_back, key, "", section, file) || read_back != value) {
      std::fprintf(stderr, "write %d reads back as '%s'\n", i, read_back.c_str());
      return 1;
    }
    ::usleep(static_cast<useconds_t>(pause_us));
  }
  return 0;
}
