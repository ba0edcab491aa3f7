// The real platform on Windows: the module's own path, the shell's known folders and MessageBoxA.
#include "utility/platform_win32.h"

#include <windows.h>
//
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include "utility/path.h"

namespace ventrel {
namespace {

// Paths beyond MAX_PATH exist ("\\?\" names, long-path aware systems); the buffer grows until the
// whole name fits, up to the longest name Windows can hold.
constexpr DWORD kLongestPath = 32768;

std::string ModuleFileName() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      return {};
    }
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    if (buffer.size() >= kLongestPath) {
      return {};  // never a cut-off path: it would name another file
    }
    buffer.resize(buffer.size() * 2);
  }
}

class CoTaskString {
 public:
  CoTaskString() = default;
  CoTaskString(const CoTaskString&) = delete;
  CoTaskString& operator=(const CoTaskString&) = delete;
  ~CoTaskString() { ::CoTaskMemFree(text_); }
  PWSTR* out() { return &text_; }
  const wchar_t* get() const { return text_; }

 private:
  PWSTR text_ = nullptr;
};

std::string KnownFolder(REFKNOWNFOLDERID id) {
  CoTaskString path;
  if (FAILED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, path.out())) ||
      path.get() == nullptr) {
    return {};
  }
  return WideToAnsi(path.get()).value_or(std::string());
}

class Win32Platform final : public Platform {
 public:
  std::string ExePath() const override { return ModuleFileName(); }

  std::string ProgramsFolder() const override { return KnownFolder(FOLDERID_ProgramFiles); }

  std::string AppDataFolder() const override { return KnownFolder(FOLDERID_RoamingAppData); }

  std::string LocalBaseFolder() const override {
    const std::string exe = ExePath();
    return exe.empty() ? std::string() : PathFolderPart(exe);
  }

  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override {
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MessageBoxType(icon));
  }
};

}  // namespace

unsigned MessageBoxType(MessageIcon icon) {
  return MB_OK | (icon == MessageIcon::kError ? MB_ICONERROR : MB_ICONEXCLAMATION);
}

std::optional<std::string> WideToAnsi(std::wstring_view wide) {
  if (wide.empty()) {
    return std::string();
  }
  // With UTF-8 as the ANSI code page every character has a form, and Windows refuses to report
  // stand-ins; invalid UTF-16 is then the only loss.
  const bool utf8 = ::GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const int length = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int size = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr,
                                         utf8 ? nullptr : &lossy);
  if (size <= 0 || lossy) {
    return std::nullopt;
  }
  std::string ansi(static_cast<std::size_t>(size), '\0');
  if (::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, ansi.data(), size, nullptr,
                            utf8 ? nullptr : &lossy) != size ||
      lossy) {
    return std::nullopt;
  }
  return ansi;
}

Platform& RealPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace ventrel
