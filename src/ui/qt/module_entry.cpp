// The Qt module's one exported function: the executable finds it by name after loading the module.
#include <exception>
#include <string>

#include "ui/linux/front_end.h"
#include "ui/qt/qt_front_end.h"
#include "ui/qt/texts.h"

extern "C" __attribute__((visibility("default"))) ventrel::FrontEnd* VentrelOpenFrontEnd(
    int version, ventrel::FailedStartFunction failed_start, std::string* reason) {
  std::string why;
  ventrel::FrontEnd* front_end = nullptr;
  // No exception may cross into the executable.
  try {
    if (version != ventrel::kFrontEndVersion) {
      why = ventrel::texts::kOtherVersion;
    } else {
      front_end = ventrel::OpenQtFrontEnd(failed_start, why).release();
    }
  } catch (const std::exception&) {
    why = ventrel::texts::kQtFailed;
  }
  if (front_end == nullptr && reason != nullptr) {
    *reason = why;
  }
  return front_end;
}
