// What the platform's sink and the Windows front end share: the message box, or its line on
// standard error where no one could see it.
#pragma once

#include <windows.h>

#include <string>

#include "utility/platform/message_sink.h"

namespace ventrel {

// False where no one can see a window: the window station of a service or of a deployment tool
// running as SYSTEM. A box there would wait for a click that never comes.
bool WindowStationVisible();

// The error box owned by `owner` (nullptr for none), `caption` and `text` in UTF-8: MessageBoxA in
// the ANSI code page where it can show both, MessageBoxW otherwise. Where the window station is not
// visible, the message is one line, "caption: text", on standard error instead (in the ANSI code
// page, or in UTF-8 where it cannot show it), and it returns at once, as after a closed box.
void ShowMessageBox(HWND owner, const std::string& caption, const std::string& text,
                    MessageIcon icon);

// The MessageBoxA type for `icon`: exactly MB_OK plus the icon, no other flag.
unsigned MessageBoxType(MessageIcon icon);

}  // namespace ventrel
