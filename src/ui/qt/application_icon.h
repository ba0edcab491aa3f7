// The application icon, the same artwork as the Windows build's (src/ui/icons).
#pragma once

#include <QIcon>

namespace ventrel {

// The 16 x 16 and 32 x 32 images in one icon.
QIcon ApplicationIcon();

}  // namespace ventrel
