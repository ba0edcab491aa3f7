#include "utility/platform/message_sink.h"

#include "utility/platform/folders.h"

namespace ventrel {
namespace {

MessageSinkScope* g_innermost = nullptr;

}  // namespace

MessageSinkScope::MessageSinkScope(MessageSink& sink) : sink_(sink), outer_(g_innermost) {
  g_innermost = this;
}

// A scope that ends out of turn leaves the others as they were, in their order.
MessageSinkScope::~MessageSinkScope() {
  MessageSinkScope** link = &g_innermost;
  while (*link != nullptr && *link != this) {
    link = &(*link)->outer_;
  }
  if (*link == this) {
    *link = outer_;
  }
}

MessageSink& CurrentMessageSink() {
  return g_innermost != nullptr ? g_innermost->sink_ : PlatformMessageSink();
}

void ShowErrorBox(const std::string& text) {
  CurrentMessageSink().ShowMessage(ApplicationName(), text, MessageIcon::kError);
}

std::string MessageLine(std::string_view caption, std::string_view text) {
  std::string line(caption);
  line.append(": ").append(text).append("\n");
  return line;
}

}  // namespace ventrel
