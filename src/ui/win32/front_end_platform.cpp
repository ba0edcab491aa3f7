#include "ui/win32/front_end_platform.h"

#include "utility/platform/platform_win32.h"

namespace ventrel::win32 {

FrontEndPlatform::FrontEndPlatform() : previous_(InstallPlatform(this)) {}

FrontEndPlatform::~FrontEndPlatform() {
  InstallPlatform(previous_);
}

void FrontEndPlatform::ShowMessage(const std::string& caption, const std::string& text,
                                   MessageIcon icon) {
  ShowMessageBox(owner_, caption, text, icon);
}

}  // namespace ventrel::win32
