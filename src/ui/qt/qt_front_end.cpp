#include "ui/qt/qt_front_end.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "ui/qt/application_icon.h"
#include "ui/qt/message_box.h"
#include "ui/qt/model_selection_dialog.h"
#include "ui/qt/texts.h"
#include "utility/text.h"

namespace ventrel {
namespace {

// A display that has not answered by then counts as none.
constexpr int kProbeTimeoutMs = 10000;
constexpr int kProbeStatusStarted = 0;

[[noreturn]] void ProbeInChild() {
  // Qt's own complaints and a core file would only add noise: the parent says what went wrong.
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) {
    ::dup2(null, STDERR_FILENO);
  }
  const rlimit no_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
  int argc = 1;
  char name[] = "VentrelConf";
  char* argv[] = {name, nullptr};
  const QGuiApplication probe(argc, argv);
  ::_exit(kProbeStatusStarted);
}

std::string DisplayName() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return value;
    }
  }
  return {};
}

}  // namespace

QtFrontEnd::QtFrontEnd() : application_(argc_, argv_) {
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

bool QtStarts(std::string& reason) {
  std::fflush(nullptr);  // nothing buffered may be written twice
  const pid_t child = ::fork();
  if (child < 0) {
    reason = texts::kQtFailed;
    return false;
  }
  if (child == 0) {
    ProbeInChild();
  }
  int status = 0;
  const timespec pause{0, 2'000'000};
  for (int waited_ms = 0; waited_ms < kProbeTimeoutMs; waited_ms += 2) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == kProbeStatusStarted) {
        return true;
      }
      reason = FormatMessage(texts::kDisplayFailed, DisplayName());
      return false;
    }
    if (done < 0) {
      break;
    }
    ::nanosleep(&pause, nullptr);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  reason = FormatMessage(texts::kDisplayFailed, DisplayName());
  return false;
}

}  // namespace ventrel
