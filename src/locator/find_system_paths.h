// Works out from the running executable's own path which brand and layout apply, and from them
// the data folder that holds the board and catalogue files.
#pragma once

#include <string>

#include "locator/brand_table.h"

namespace ventrel {

// What FindSystemPaths returns when the executable fits no layout. It is also the code of Dremont's
// local layout: the two cannot be told apart by the code, and need not be, since the one caller
// goes by the data folder alone.
inline constexpr InstallLayout kNoLayoutFound = 0;

// Returns the layout and sets `data_folder` to the folder that holds the catalogue. Returns
// kNoLayoutFound when the executable fits no layout, leaving `data_folder` as it was. When the
// layout's data folder is missing, `data_folder` becomes empty. Each failure shows its message
// before returning.
InstallLayout FindSystemPaths(std::string& data_folder);

}  // namespace ventrel
