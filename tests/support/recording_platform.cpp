#include "support/recording_platform.h"

namespace ventrel::test {

RecordingPlatform::RecordingPlatform() : previous_folders_(SubstituteFolders(this)) {}

RecordingPlatform::~RecordingPlatform() {
  SubstituteFolders(previous_folders_);
}

std::vector<std::string> RecordingPlatform::Texts() const {
  std::vector<std::string> texts;
  for (const auto& message : messages) {
    texts.push_back(message.text);
  }
  return texts;
}

void RecordingPlatform::ShowMessage(const std::string& caption, const std::string& text,
                                    MessageIcon icon) {
  messages.push_back({caption, text, icon});
}

}  // namespace ventrel::test
