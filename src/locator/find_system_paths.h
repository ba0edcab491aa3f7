// Works out from the running executable's own path which brand and layout apply, and from them
// the data folder that holds the board and catalogue files.
#pragma once

#include <string>

#include "locator/brand_table.h"

namespace ventrel {

// Returns the layout and sets `data_folder` to the folder that holds the catalogue. Returns 0 when
// the executable fits no layout, leaving `data_folder` as it was. When the layout's data folder is
// missing, `data_folder` becomes empty. Each failure shows its message before returning.
InstallLayout FindSystemPaths(std::string& data_folder);

}  // namespace ventrel
