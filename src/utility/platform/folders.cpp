#include "utility/platform/folders.h"

#include "utility/platform/path.h"

namespace ventrel {
namespace {

const PlatformFolders* g_substitute = nullptr;

}  // namespace

const PlatformFolders& CurrentFolders() {
  return g_substitute != nullptr ? *g_substitute : RealFolders();
}

const PlatformFolders* SubstituteFolders(const PlatformFolders* folders) {
  const PlatformFolders* previous = g_substitute;
  g_substitute = folders;
  return previous;
}

std::string ApplicationName() {
  return PathReplaceExtension(PathLastComponent(CurrentFolders().ExePath()), "");
}

}  // namespace ventrel
