// The error box of the Qt front end.
#pragma once

#include <string>

#include "utility/platform/message_sink.h"

class QWidget;

namespace ventrel {

// Shows a modal box, critical or warning, with the application's name as `caption`, owned by
// `owner` (no owner when null), and returns when the user has closed it. The text is shown as
// plain text: a path with markup in it is still only a path.
void ShowMessageBox(QWidget* owner, const std::string& caption, const std::string& text,
                    MessageIcon icon);

}  // namespace ventrel
