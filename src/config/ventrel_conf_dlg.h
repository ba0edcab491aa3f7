// The configuration side of the model-selection dialog: it opens the configuration when it is
// constructed, reads the current model and the catalogue's display names, and writes a model.
// The window side lives in each front end and works through this class.
#pragma once

#include <string>
#include <vector>

#include "config/config_context.h"
#include "config/model_code.h"
#include "utility/store/file_store.h"

namespace ventrel {

struct DisplayEntry {
  std::string text;
  ModelCode code;
};

// "Error: the file ... could not be written!" (or, when it was, "The file ... was written."),
// followed by the reason when there is one the user can act upon, and by a word on a copy kept
// beside it.
std::string WriteFailedMessage(const std::string& path, WriteResult written);

class CVentrelConfDlg {
 public:
  // Opens the configuration: finds the data folder and checks both files, showing at most one
  // message about a missing file. Never fails; later reads then give their defaults.
  CVentrelConfDlg();

  // The model the board file records, or kNoModel. Any other integer stored matches no model.
  ModelCode ReadCurrentModel() const;

  // The models the catalogue offers, in display order.
  std::vector<DisplayEntry> ReadDisplayNames() const;

  // Writes `code` into the board file. False, after showing why, when the code is no model or
  // the file could not be written.
  bool SetModel(ModelCode code);

 private:
  ConfigContext context_;
};

}  // namespace ventrel
