// A window module without windows, for the tests of the executable's loader: it records what it
// is asked to do, and refuses to open when FAKE_FRONT_END_REFUSE names a reason. Built a second
// time without its entry point.
#include <cstdlib>
#include <string>
#include <vector>

#include "app/front_end.h"

namespace {

std::vector<std::string> g_calls;

class FakeFrontEnd final : public ventrel::FrontEnd {
 public:
  void ShowMessage(const std::string& caption, const std::string& text,
                   ventrel::MessageIcon) override {
    g_calls.push_back("box " + caption + ": " + text);
  }
  void RunModal(ventrel::CVentrelConfDlg&) override { g_calls.push_back("dialog"); }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) std::vector<std::string>* FakeFrontEndCalls() {
  return &g_calls;
}

#ifndef FAKE_WITHOUT_ENTRY
extern "C" __attribute__((visibility("default"))) ventrel::FrontEnd* VentrelOpenFrontEnd(
    int version, std::string* reason) {
  g_calls.push_back("open " + std::to_string(version));
  const char* refuse = std::getenv("FAKE_FRONT_END_REFUSE");
  if (refuse != nullptr) {
    *reason = refuse;
    return nullptr;
  }
  return new FakeFrontEnd;
}
#endif
