#include "ui/qt/owned_box_sink.h"

#include "ui/qt/message_box.h"

namespace ventrel {

void OwnedBoxSink::ShowMessage(const std::string& caption, const std::string& text,
                               MessageIcon icon) {
  ShowMessageBox(&owner_, caption, text, icon);
}

}  // namespace ventrel
