#include "ui/qt/qt_front_end.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/texts.h"
#include "app/ventrel_conf.h"
#include "ui/qt/application_icon.h"
#include "ui/qt/display_check.h"
#include "ui/qt/message_box.h"
#include "ui/qt/model_selection_dialog.h"
#include "ui/qt/texts.h"
#include "utility/platform/platform.h"
#include "utility/text.h"

namespace ventrel {
namespace {

// A display that has not answered by then counts as none.
constexpr std::chrono::milliseconds kDisplayTimeout{10000};

std::string DisplayName() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return value;
    }
  }
  return {};
}

std::string DisplayFailure() {
  return FillInMessage(texts::kDisplayFailed, DisplayName());
}

QtMessageHandler g_before_startup = nullptr;

void EndOnFatalStartupMessage(QtMsgType type, const QMessageLogContext& context,
                              const QString& message) {
  if (type != QtFatalMsg) {
    if (g_before_startup != nullptr) {
      g_before_startup(type, context, message);
    }
    return;
  }
  const std::string line =
      ApplicationName() + ": " + FillInMessage(texts::kNoDialog, DisplayFailure()) + "\n";
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
  ::_exit(CVentrelConf::kNoDialog);
}

}  // namespace

StartupGuard::StartupGuard() : previous_(qInstallMessageHandler(EndOnFatalStartupMessage)) {
  g_before_startup = previous_;
}

StartupGuard::~StartupGuard() {
  Release();
}

void StartupGuard::Release() {
  if (!released_) {
    released_ = true;
    qInstallMessageHandler(previous_);
  }
}

QtFrontEnd::QtFrontEnd() : application_(argc_, argv_) {
  startup_guard_.Release();
  QApplication::setWindowIcon(ApplicationIcon());
}

QtFrontEnd::~QtFrontEnd() = default;

// No exception may cross into the executable: a box that cannot be shown becomes the line.
void QtFrontEnd::ShowMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon) {
  try {
    ShowMessageBox(nullptr, caption, text, icon);
  } catch (const std::exception&) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
}

void QtFrontEnd::RunModal(CVentrelConfDlg& dialog) {
  try {
    ModelSelectionDialog window(dialog);
    window.exec();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", texts::kDialogTitle.data(), error.what());
  }
}

std::unique_ptr<FrontEnd> OpenQtFrontEnd(std::string& reason) {
  DisplayCheck check;  // its connection stays open until Qt has its own
  if (!check.Answered(kDisplayTimeout)) {
    reason = DisplayFailure();
    return nullptr;
  }
  return std::make_unique<QtFrontEnd>();
}

}  // namespace ventrel
