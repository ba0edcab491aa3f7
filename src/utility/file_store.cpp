#include "utility/file_store.h"

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

}  // namespace ventrel
