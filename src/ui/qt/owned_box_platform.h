// While the dialog is on screen its boxes are owned by it: this platform stands in for the one it
// replaces, with the same folders, and shows every message as a box over the dialog.
#pragma once

#include "utility/platform/platform.h"

class QWidget;

namespace ventrel {

class OwnedBoxPlatform final : public Platform {
 public:
  // Installs itself in place of the current platform, until it is destroyed.
  explicit OwnedBoxPlatform(QWidget& owner);
  OwnedBoxPlatform(const OwnedBoxPlatform&) = delete;
  OwnedBoxPlatform& operator=(const OwnedBoxPlatform&) = delete;
  ~OwnedBoxPlatform() override;

  std::string ExePath() const override { return replaced_.ExePath(); }
  std::vector<std::string> ProgramsFolders() const override { return replaced_.ProgramsFolders(); }
  std::string AppDataFolder() const override { return replaced_.AppDataFolder(); }
  std::string LocalBaseFolder() const override { return replaced_.LocalBaseFolder(); }
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;

 private:
  QWidget& owner_;
  Platform& replaced_;
  Platform* installed_before_;
};

}  // namespace ventrel
