// The error box's seam: every message of the system goes to the sink in force. The platform has
// its own; a front end puts another in force while it has windows to show boxes, and its dialog
// one more while it is on screen to own them.
#pragma once

#include <string>
#include <string_view>

namespace ventrel {

enum class MessageIcon { kError, kWarning };

struct MessageSink {
  virtual ~MessageSink() = default;
  // Shows a modal message box and returns when the user has closed it.
  virtual void ShowMessage(const std::string& caption, const std::string& text,
                           MessageIcon icon) = 0;
};

// Puts `sink` in force for as long as the scope lives. Scopes nest: the innermost one alive
// decides, and when none is, the platform's own sink does. This is the one place that decides.
class MessageSinkScope {
 public:
  explicit MessageSinkScope(MessageSink& sink);
  MessageSinkScope(const MessageSinkScope&) = delete;
  MessageSinkScope& operator=(const MessageSinkScope&) = delete;
  ~MessageSinkScope();

 private:
  friend MessageSink& CurrentMessageSink();
  MessageSink& sink_;
  MessageSinkScope* outer_;
};

// The sink in force (see MessageSinkScope).
MessageSink& CurrentMessageSink();

// The platform's own sink: on Windows a box with no owner window (or its line where no one could
// see a box), on Linux the message's line on standard error.
MessageSink& PlatformMessageSink();

// The error box: shows `text` under the application's name on the sink in force.
void ShowErrorBox(const std::string& text);

// A message where no box can show it: one line, "caption: text", with its line end.
std::string MessageLine(std::string_view caption, std::string_view text);

}  // namespace ventrel
