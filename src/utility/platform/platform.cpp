#include "utility/platform/platform.h"

#include "utility/platform/path.h"

namespace ventrel {
namespace {

Platform* g_installed = nullptr;

}  // namespace

Platform& CurrentPlatform() {
  return g_installed != nullptr ? *g_installed : RealPlatform();
}

Platform* InstallPlatform(Platform* platform) {
  Platform* previous = g_installed;
  g_installed = platform;
  return previous;
}

std::string ApplicationName() {
  return PathReplaceExtension(PathLastComponent(CurrentPlatform().ExePath()), "");
}

void ShowErrorBox(const std::string& text) {
  CurrentPlatform().ShowMessage(ApplicationName(), text, MessageIcon::kError);
}

}  // namespace ventrel
