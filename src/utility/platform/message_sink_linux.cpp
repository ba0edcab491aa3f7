// The platform's own sink on Linux: every message is a line on standard error, until a window
// front end puts its boxes in force.
#include <cstdio>

#include "utility/platform/message_sink.h"

namespace ventrel {
namespace {

class StandardErrorSink final : public MessageSink {
 public:
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon) override {
    const std::string line = MessageLine(caption, text);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
};

}  // namespace

MessageSink& PlatformMessageSink() {
  static StandardErrorSink sink;
  return sink;
}

}  // namespace ventrel
