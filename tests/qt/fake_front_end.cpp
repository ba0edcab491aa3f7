// A window module without windows, for the tests of the executable's loader: it records what it
// is asked to do, and shows its boxes as lines on standard error. It refuses to open when
// FAKE_FRONT_END_REFUSE names a reason, and its dialog fails when FAKE_FRONT_END_FAIL_DIALOG is
// set, with that reason. Built a second time without its entry point.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/linux/front_end.h"

namespace {

std::vector<std::string> g_calls;

class FakeFrontEnd final : public ventrel::FrontEnd {
 public:
  void ShowMessage(const std::string& caption, const std::string& text,
                   ventrel::MessageIcon) override {
    g_calls.push_back("box " + caption + ": " + text);
    std::fprintf(stderr, "%s\n", g_calls.back().c_str());
  }
  bool RunModal(ventrel::CVentrelConfDlg&, std::string& reason) override {
    g_calls.push_back("dialog");
    const char* fail = std::getenv("FAKE_FRONT_END_FAIL_DIALOG");
    if (fail == nullptr) {
      return true;
    }
    reason = fail;
    return false;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) std::vector<std::string>* FakeFrontEndCalls() {
  return &g_calls;
}

#ifndef FAKE_WITHOUT_ENTRY
extern "C" __attribute__((visibility("default"))) ventrel::FrontEnd* VentrelOpenFrontEnd(
    int version, ventrel::FailedStartFunction, std::string* reason) {
  g_calls.push_back("open " + std::to_string(version));
  const char* refuse = std::getenv("FAKE_FRONT_END_REFUSE");
  if (refuse != nullptr) {
    *reason = refuse;
    return nullptr;
  }
  return new FakeFrontEnd;
}
#endif
