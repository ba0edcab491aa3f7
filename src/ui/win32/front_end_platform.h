// The platform while the Windows front end runs: the folders are the real platform's, and a
// message box is owned by the dialog while the dialog is on screen, by no window otherwise.
#pragma once

#include <windows.h>

#include "utility/platform/platform.h"

namespace ventrel::win32 {

class FrontEndPlatform final : public Platform {
 public:
  // Installs itself for as long as it lives.
  FrontEndPlatform();
  FrontEndPlatform(const FrontEndPlatform&) = delete;
  FrontEndPlatform& operator=(const FrontEndPlatform&) = delete;
  ~FrontEndPlatform() override;

  // The window that owns the boxes from now on; nullptr for none.
  void SetOwner(HWND owner) { owner_ = owner; }

  std::string ExePath() const override { return RealPlatform().ExePath(); }
  std::vector<std::string> ProgramsFolders() const override {
    return RealPlatform().ProgramsFolders();
  }
  std::string AppDataFolder() const override { return RealPlatform().AppDataFolder(); }
  std::string LocalBaseFolder() const override { return RealPlatform().LocalBaseFolder(); }
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;

 private:
  HWND owner_ = nullptr;
  Platform* previous_;
};

}  // namespace ventrel::win32
