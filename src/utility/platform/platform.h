// The core's one seam to the platform: where the executable runs, the folder roots the resolvers
// stand on, and the error box. Each platform implements it once; tests install a recorder.
#pragma once

#include <string>
#include <vector>

namespace ventrel {

enum class MessageIcon { kError, kWarning };

struct Platform {
  virtual ~Platform() = default;
  // Full path of the running executable; empty when it cannot be determined.
  virtual std::string ExePath() const = 0;
  // Roots of the installed layout, in the order they are tried: every programs folder of the
  // system (64-bit Windows has two, and a 32-bit installer uses the second); none when unknown.
  virtual std::vector<std::string> ProgramsFolders() const = 0;
  // Root of the installed layout's data (the per-user application-data folder); empty when unknown.
  virtual std::string AppDataFolder() const = 0;
  // Root of the local layout; empty when unknown.
  virtual std::string LocalBaseFolder() const = 0;
  // Shows a modal message box and returns when the user has closed it.
  virtual void ShowMessage(const std::string& caption, const std::string& text,
                           MessageIcon icon) = 0;
};

// The platform the core talks to: the real one unless a test or a front end installed another.
Platform& CurrentPlatform();

// Installs `platform` (nullptr restores the real one) and returns the previous one.
Platform* InstallPlatform(Platform* platform);

// The real platform of this build.
Platform& RealPlatform();

// The application's name, the caption of every box: the executable's file name without extension.
std::string ApplicationName();

// The error box: every message of the system goes through here.
void ShowErrorBox(const std::string& text);

}  // namespace ventrel
