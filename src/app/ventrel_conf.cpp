#include "app/ventrel_conf.h"

#include "app/command_line.h"
#include "config/ventrel_conf_dlg.h"

namespace ventrel {

int CVentrelConf::InitInstance(const std::vector<std::string>& arguments, DialogHost* host) {
  const ModelCode code = ConvertModelArgument(FindModelArgument(arguments));
  // A dialog that cannot be shown is better said at once than after the opening's messages.
  if (code == kNoModel && host != nullptr && !host->OpenWindows()) {
    return kNoDialog;
  }
  // Both modes open the configuration first, so its messages come before anything else.
  CVentrelConfDlg dialog;
  if (code == kNoModel) {
    if (host != nullptr && !host->RunModal(dialog)) {
      return kNoDialog;
    }
    return 0;  // interactive mode's status carries no meaning
  }
  return dialog.SetModel(code) ? kWritten : kNotWritten;
}

}  // namespace ventrel
