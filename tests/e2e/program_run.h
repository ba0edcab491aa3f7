// Running the built program as a user would, and the folders it runs in: a local layout, i.e. a
// copy of the executable beside the brands' product folders, in a temporary folder of its own.
#pragma once

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ventrel::test {

struct ProgramResult {
  // The exit status; 128 + the signal number when a signal ended the program, -1 when it could
  // not be started.
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `exe` with `arguments` (the program name excluded), with no shell in between, so each
// argument arrives byte for byte. Standard input is empty; the environment is the test's own, less
// any display.
ProgramResult RunProgram(const std::string& exe, const std::vector<std::string>& arguments);

// What a local layout knows of a brand: its product folder and the value its marker carries.
struct BrandNames {
  std::string product_folder;
  std::string manufacturer;
};

// The catalogue as an installation writes it: section Model naming `manufacturer`, then the three
// models with their display names, CRLF line ends.
std::string CatalogueText(const std::string& manufacturer);

// A board file as the driver leaves it: its own settings around section BOARD, with comments,
// blank lines, spacing and line ends of its own. BOARD holds "Type = 300" and no TYPE_SUB, so each
// model leaves its own trace.
std::string DriverBoardText();

// A temporary folder holding a copy of the built executable under `exe_name`. Product folders and
// their files are laid out beside it as the test needs them.
class LocalLayout {
 public:
  explicit LocalLayout(const std::string& exe_name = "VentrelConf");

  // The folder the executable runs from: the local layout's base.
  const std::string& Base() const { return dir_.path(); }
  const std::string& Exe() const { return exe_; }
  std::string ProductFolder(const BrandNames& brand) const;
  std::string BoardPath(const BrandNames& brand) const;
  std::string CataloguePath(const BrandNames& brand) const;

  // Writes a file into the brand's product folder, creating the folder.
  void Put(const BrandNames& brand, const std::string& name, const std::string& content) const;
  // The catalogue naming the brand's manufacturer, and the driver's board file.
  void PutStandardFiles(const BrandNames& brand) const;

  ProgramResult Run(const std::vector<std::string>& arguments) const;

 private:
  TempDir dir_;
  std::string exe_;
};

}  // namespace ventrel::test
