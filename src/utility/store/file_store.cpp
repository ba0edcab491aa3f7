#include "utility/store/file_store.h"

#include "utility/store/primitives.h"

namespace ventrel {
namespace {

constexpr std::string_view kTemporaryTag = ".vctmp-";
constexpr std::size_t kUniqueLength = 6;

bool IsLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string TemporaryFileTemplate(std::string_view file_name) {
  return "." + std::string(file_name) + std::string(kTemporaryTag) +
         std::string(kUniqueLength, 'X');
}

bool IsTemporaryFileName(std::string_view file_name, std::string_view candidate) {
  const std::size_t prefix = 1 + file_name.size() + kTemporaryTag.size();
  if (file_name.empty() || candidate.size() != prefix + kUniqueLength || candidate.front() != '.' ||
      candidate.substr(1, file_name.size()) != file_name ||
      candidate.substr(1 + file_name.size(), kTemporaryTag.size()) != kTemporaryTag) {
    return false;
  }
  for (const char c : candidate.substr(prefix)) {
    if (!IsLetterOrDigit(c)) {
      return false;
    }
  }
  return true;
}

WriteResult ReplaceWholeFile(const std::string& path, const std::string& content) {
  return UpdateWholeFile(path, [&content](std::string& current) {
    current = content;
    return EditResult::kChanged;
  });
}

namespace {

std::function<void()>& BeforeReplacementHook() {
  static std::function<void()> hook;
  return hook;
}

}  // namespace

void SetBeforeReplacementHook(std::function<void()> hook) {
  BeforeReplacementHook() = std::move(hook);
}

namespace file_store {

ReadResult ReadUntilStable(const std::function<ReadOutcome()>& read_once, std::string& content) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    switch (read_once()) {
      case ReadOutcome::kOk:
        return ReadResult::kOk;
      case ReadOutcome::kMissing:
        return ReadResult::kMissing;
      case ReadOutcome::kFailed:
        return ReadResult::kFailed;
      case ReadOutcome::kChanged:
        break;
    }
  }
  content.clear();
  return ReadResult::kFailed;
}

bool StepUntilDone(const std::function<StepOutcome()>& step) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    switch (step()) {
      case StepOutcome::kDone:
        return true;
      case StepOutcome::kFailed:
        return false;
      case StepOutcome::kRaced:
        break;
    }
  }
  return false;
}

void RunBeforeReplacementHook() {
  if (BeforeReplacementHook()) {
    BeforeReplacementHook()();
  }
}

}  // namespace file_store
}  // namespace ventrel
