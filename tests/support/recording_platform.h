// The platform for tests: folder roots and executable path as the test sets them, and every message
// recorded instead of shown. Both are in place for as long as it lives.
#pragma once

#include <string>
#include <vector>

#include "utility/platform/folders.h"
#include "utility/platform/message_sink.h"

namespace ventrel::test {

struct RecordedMessage {
  std::string caption;
  std::string text;
  MessageIcon icon;
};

class RecordingPlatform final : public PlatformFolders, public MessageSink {
 public:
  RecordingPlatform();
  RecordingPlatform(const RecordingPlatform&) = delete;
  RecordingPlatform& operator=(const RecordingPlatform&) = delete;
  ~RecordingPlatform() override;

  std::string exe_path;
  std::vector<std::string> programs_folders;
  std::string app_data_folder;
  std::string local_base_folder;
  std::vector<RecordedMessage> messages;

  // The texts of the messages, in the order shown.
  std::vector<std::string> Texts() const;

  std::string ExePath() const override { return exe_path; }
  std::vector<std::string> ProgramsFolders() const override { return programs_folders; }
  std::string AppDataFolder() const override { return app_data_folder; }
  std::string LocalBaseFolder() const override { return local_base_folder; }
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;

 private:
  const PlatformFolders* previous_folders_;
  const MessageSinkScope in_force_{*this};
};

}  // namespace ventrel::test
