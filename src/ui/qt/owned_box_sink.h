// While the dialog is on screen its boxes are owned by it: this sink is in force for as long as it
// lives, and shows every message as a box over the dialog.
#pragma once

#include "utility/platform/message_sink.h"

class QWidget;

namespace ventrel {

class OwnedBoxSink final : public MessageSink {
 public:
  explicit OwnedBoxSink(QWidget& owner) : owner_(owner) {}
  OwnedBoxSink(const OwnedBoxSink&) = delete;
  OwnedBoxSink& operator=(const OwnedBoxSink&) = delete;

  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;

 private:
  QWidget& owner_;
  const MessageSinkScope in_force_{*this};
};

}  // namespace ventrel
