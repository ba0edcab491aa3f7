#include "app/command_line.h"

#include "utility/text.h"

namespace ventrel {
namespace {

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
    } else if (!quoted && IsBlank(c)) {
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
  while (i < line.size() && (quoted || !IsBlank(line[i]))) {
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
    if (i < line.size() && (quoted || !IsBlank(line[i]))) {
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
    while (i < command_line.size() && IsBlank(command_line[i])) {
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
  const DecimalNumber number = ReadDecimal(text);
  if (number.digits == 0) {
    return kNoModel;
  }
  return number.fits ? number.wrapped : kImproperCode;
}

}  // namespace ventrel
