#include "utility/platform/message_sink.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ventrel {
namespace {

class NamedSink final : public MessageSink {
 public:
  explicit NamedSink(std::vector<std::string>& log, std::string name)
      : log_(log), name_(std::move(name)) {}
  void ShowMessage(const std::string&, const std::string& text, MessageIcon) override {
    log_.push_back(name_ + " " + text);
  }

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

TEST(MessageSinkTest, TheInnermostScopeAliveDecides) {
  std::vector<std::string> log;
  NamedSink front_end(log, "front_end");
  NamedSink dialog(log, "dialog");
  MessageSink& platform = CurrentMessageSink();
  EXPECT_EQ(&platform, &PlatformMessageSink());
  {
    const MessageSinkScope outer(front_end);
    ShowErrorBox("1");
    {
      const MessageSinkScope inner(dialog);
      ShowErrorBox("2");
    }
    ShowErrorBox("3");
  }
  EXPECT_EQ(&CurrentMessageSink(), &platform);
  EXPECT_EQ(log, (std::vector<std::string>{"front_end 1", "dialog 2", "front_end 3"}));
}

TEST(MessageSinkTest, AScopeThatEndsOutOfTurnLeavesTheOthersInOrder) {
  std::vector<std::string> log;
  NamedSink first(log, "first");
  NamedSink second(log, "second");
  NamedSink third(log, "third");
  std::optional<MessageSinkScope> a(std::in_place, first);
  std::optional<MessageSinkScope> b(std::in_place, second);
  const MessageSinkScope c(third);
  b.reset();
  ShowErrorBox("x");
  EXPECT_EQ(log, std::vector<std::string>{"third x"});
  a.reset();
  EXPECT_EQ(&CurrentMessageSink(), &third);
}

TEST(MessageSinkTest, AMessageLineIsCaptionThenText) {
  EXPECT_EQ(MessageLine("VentrelConf", "File x not found !"), "VentrelConf: File x not found !\n");
  EXPECT_EQ(MessageLine("", ""), ": \n");
}

}  // namespace
}  // namespace ventrel
