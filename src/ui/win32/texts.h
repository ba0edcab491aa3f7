// The Windows front end's own texts and numbers, exactly as the user and the help system see them.
#pragma once

#include <string_view>

#include "ui/win32/resource.h"

namespace ventrel::win32::texts {

// Why the dialog cannot be shown in a service's or a deployment tool's window station.
inline constexpr std::string_view kStationNotVisible =
    "no one can see this window station (a service or an unattended run)";

// Why the dialog cannot be shown when the system refused to create it.
inline constexpr std::string_view kDialogNotCreated = "the system could not create its window";

inline constexpr std::string_view kHelpFailed = "Failed to launch help.";
// The help file is the executable's path with this extension.
inline constexpr std::string_view kHelpExtension = ".HLP";
// Help contexts of dialogs start at 0x20000; the dialog's is that plus its template id.
inline constexpr unsigned long kHelpContext = 0x20000 + IDD_VENTRELCONF_DIALOG;

}  // namespace ventrel::win32::texts
