// The application: start-up reads the command line, picks the mode, runs it to the end.
#pragma once

#include <string>
#include <vector>

#include "app/dialog_host.h"

namespace ventrel {

class CVentrelConf {
 public:
  // Exit statuses of silent mode, so that an installer can tell the outcome.
  static constexpr int kWritten = 0;
  static constexpr int kNotWritten = 1;
  // The interactive mode could not show its dialog; nothing was written.
  static constexpr int kNoDialog = 2;

  // Runs once. `arguments` excludes the program name. Without a model argument the dialog runs on
  // `host`; with no host the configuration is opened and the program ends; a host that cannot
  // show windows ends the interactive mode before anything is opened. Returns the exit status.
  int InitInstance(const std::vector<std::string>& arguments, DialogHost* host);
};

}  // namespace ventrel
