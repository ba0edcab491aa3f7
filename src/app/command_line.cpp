#include "app/command_line.h"

#include <cstdint>

namespace ventrel {
namespace {

bool IsArgumentBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The program name ends at the first blank outside quotes; it has no escapes.
std::size_t SplitProgramName(std::string_view line, std::string& name) {
  bool quoted = false;
  std::size_t i = 0;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && IsArgumentBlank(c)) {
      break;
    } else {
      name += c;
    }
  }
  return i;
}

// Reads one argument starting at `i` (not a blank); returns the index after it.
std::size_t SplitArgument(std::string_view line, std::size_t i, std::string& argument) {
  bool quoted = false;
  while (i < line.size() && (quoted || !IsArgumentBlank(line[i]))) {
    std::size_t backslashes = 0;
    while (i < line.size() && line[i] == '\\') {
      ++backslashes;
      ++i;
    }
    if (i < line.size() && line[i] == '"') {
      argument.append(backslashes / 2, '\\');
      if (backslashes % 2 == 1) {
        argument += '"';
      } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        argument += '"';  // "" inside quotes: a literal quote, and the quoted stretch goes on
        ++i;
      } else {
        quoted = !quoted;
      }
      ++i;
      continue;
    }
    argument.append(backslashes, '\\');
    if (i < line.size() && (quoted || !IsArgumentBlank(line[i]))) {
      argument += line[i++];
    }
  }
  return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
  std::vector<std::string> arguments(1);
  std::size_t i = SplitProgramName(command_line, arguments.front());
  for (;;) {
    while (i < command_line.size() && IsArgumentBlank(command_line[i])) {
      ++i;
    }
    if (i >= command_line.size()) {
      return arguments;
    }
    i = SplitArgument(command_line, i, arguments.emplace_back());
  }
}

std::optional<std::string> FindModelArgument(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (!argument.empty() && argument.front() != '-' && argument.front() != '/') {
      return argument;
    }
  }
  return std::nullopt;
}

ModelCode ConvertModelArgument(const std::optional<std::string>& argument) {
  if (!argument) {
    return kNoModel;
  }
  std::string_view text = *argument;
  while (!text.empty() && IsScanSpace(text.front())) {
    text.remove_prefix(1);
  }
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  std::size_t digits = 0;
  for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    value = value * 10 + (text[digits] - '0');
    if (value > std::int64_t{INT32_MAX} + 1) {
      return kImproperCode;
    }
  }
  if (digits == 0) {
    return kNoModel;
  }
  value = negative ? -value : value;
  return value > INT32_MAX ? kImproperCode : static_cast<ModelCode>(value);
}

}  // namespace ventrel
