// Where the dialog goes on the screen and where its icon goes while it is minimised.
#pragma once

#include <windows.h>

namespace ventrel::win32 {

// The top-left corner that centres a window of `width` x `height` in `work_area`, kept inside it
// (its top-left corner wins when the window is larger than the area).
POINT CentredPosition(const RECT& work_area, int width, int height);

// Where an icon of `icon_width` x `icon_height` is drawn in a client area of `client`'s size.
POINT MinimisedIconPosition(const RECT& client, int icon_width, int icon_height);

}  // namespace ventrel::win32
