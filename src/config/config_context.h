// The two configuration files of an opened configuration.
#pragma once

#include <string>

namespace ventrel {

struct ConfigContext {
  // The board file: the data folder and the board file name.
  std::string board_path;
  // The catalogue file; empty when the board file was not found.
  std::string catalogue_path;
  // False when the locator found no data folder: the board path then names no real folder and
  // nothing is read from or written to it.
  bool has_data_folder = false;
};

}  // namespace ventrel
