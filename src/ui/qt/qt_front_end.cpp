#include "ui/qt/qt_front_end.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include "ui/qt/application_icon.h"
#include "ui/qt/display_check.h"
#include "ui/qt/message_box.h"
#include "ui/qt/model_selection_dialog.h"
#include "ui/qt/texts.h"
#include "utility/platform/environment.h"
#include "utility/platform/message_sink.h"
#include "utility/text.h"

namespace ventrel {
namespace {

// A display that has not answered by then counts as none.
constexpr std::chrono::milliseconds kDisplayTimeout{10000};

std::string DisplayName() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    if (std::string value = EnvironmentValue(name); !value.empty()) {
      return value;
    }
  }
  return {};
}

std::string DisplayFailure() {
  return FillInMessage(texts::kDisplayFailed, DisplayName());
}

QtMessageHandler g_before_startup = nullptr;
FailedStartFunction g_failed_start = nullptr;

void EndOnFatalStartupMessage(QtMsgType type, const QMessageLogContext& context,
                              const QString& message) {
  if (type != QtFatalMsg) {
    if (g_before_startup != nullptr) {
      g_before_startup(type, context, message);
    }
    return;
  }
  if (g_failed_start != nullptr) {
    g_failed_start(DisplayFailure().c_str());
  }
  if (g_before_startup != nullptr) {
    g_before_startup(type, context, message);  // Qt's own end, should the executable return
  }
}

}  // namespace

StartupGuard::StartupGuard(FailedStartFunction failed_start)
    : previous_(qInstallMessageHandler(EndOnFatalStartupMessage)) {
  g_before_startup = previous_;
  g_failed_start = failed_start;
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

QtFrontEnd::QtFrontEnd(FailedStartFunction failed_start)
    : startup_guard_(failed_start), application_(argc_, argv_) {
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
    std::fputs(MessageLine(caption, text).c_str(), stderr);
  }
}

// The executable words the failure: the exception's own text is no message for the user.
bool QtFrontEnd::RunModal(CVentrelConfDlg& dialog, std::string&) {
  try {
    ModelSelectionDialog window(dialog);
    window.exec();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::unique_ptr<FrontEnd> OpenQtFrontEnd(FailedStartFunction failed_start, std::string& reason) {
  DisplayCheck check;  // its connection stays open until Qt has its own
  if (!check.Answered(kDisplayTimeout)) {
    reason = DisplayFailure();
    return nullptr;
  }
  return std::make_unique<QtFrontEnd>(failed_start);
}

}  // namespace ventrel
