#include "ui/qt/owned_box_platform.h"

#include "ui/qt/message_box.h"

namespace ventrel {

OwnedBoxPlatform::OwnedBoxPlatform(QWidget& owner)
    : owner_(owner), replaced_(CurrentPlatform()), installed_before_(InstallPlatform(this)) {}

OwnedBoxPlatform::~OwnedBoxPlatform() {
  InstallPlatform(installed_before_);
}

void OwnedBoxPlatform::ShowMessage(const std::string& caption, const std::string& text,
                                   MessageIcon icon) {
  ShowMessageBox(&owner_, caption, text, icon);
}

}  // namespace ventrel
