#include "ui/win32/owned_box_sink.h"

#include "utility/platform/message_sink_win32.h"

namespace ventrel::win32 {

void OwnedBoxSink::ShowMessage(const std::string& caption, const std::string& text,
                               MessageIcon icon) {
  ShowMessageBox(owner_, caption, text, icon);
}

}  // namespace ventrel::win32
