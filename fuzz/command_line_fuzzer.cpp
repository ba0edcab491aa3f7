// The command line on any input: splitting never crashes, arguments quoted by the Windows rules
// split back into themselves, and the model argument converts as strtol says it should.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz_check.h"

namespace {

using ventrel::fuzz::Check;

// Quotes one argument so that the C runtime's rules give it back unchanged.
std::string Quote(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
    return argument;
  }
  std::string out = "\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < argument.size() && argument[i] == '\\') {
      ++backslashes;
      ++i;
    }
    if (i == argument.size()) {
      out.append(backslashes * 2, '\\');
      break;
    }
    if (argument[i] == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    out += argument[i];
  }
  return out + "\"";
}

ventrel::ModelCode ReferenceConvert(const std::optional<std::string>& argument) {
  if (!argument) {
    return ventrel::kNoModel;
  }
  // strtol stops at a NUL byte; the argument's own bytes do not go further than the digits anyway.
  const std::string text = argument->substr(0, argument->find('\0'));
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(begin, &end, 10);
  const std::string_view rest(begin, static_cast<std::size_t>(end - begin));
  if (rest.find_first_of("0123456789") == std::string_view::npos) {
    return ventrel::kNoModel;
  }
  if (errno == ERANGE || value > INT_MAX || value < INT_MIN) {
    return ventrel::kImproperCode;
  }
  return static_cast<ventrel::ModelCode>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool as_line = input.ConsumeBool();
  if (as_line) {
    const std::string line = input.ConsumeRemainingBytesAsString();
    const std::vector<std::string> split = ventrel::SplitCommandLine(line);
    Check(!split.empty(), "no program name", line);
    const std::vector<std::string> arguments(split.begin() + 1, split.end());
    const std::optional<std::string> model = ventrel::FindModelArgument(arguments);
    Check(ventrel::ConvertModelArgument(model) == ReferenceConvert(model),
          "the model argument converts wrongly", model.value_or("<none>"));
    return 0;
  }
  std::vector<std::string> arguments;
  while (input.remaining_bytes() > 0 && arguments.size() < 8) {
    arguments.push_back(input.ConsumeRandomLengthString(32));
  }
  std::string line = "VentrelConf.exe";
  for (const std::string& argument : arguments) {
    line += " " + Quote(argument);
  }
  const std::vector<std::string> split = ventrel::SplitCommandLine(line);
  Check(split.size() == arguments.size() + 1 && split.front() == "VentrelConf.exe" &&
            std::equal(arguments.begin(), arguments.end(), split.begin() + 1),
        "quoted arguments do not split back", line);
  const std::optional<std::string> model = ventrel::FindModelArgument(arguments);
  for (const std::string& argument : arguments) {
    if (!argument.empty() && argument.front() != '-' && argument.front() != '/') {
      Check(model == argument, "the model argument is not the first plain one", line);
      break;
    }
  }
  Check(ventrel::ConvertModelArgument(model) == ReferenceConvert(model),
        "the model argument converts wrongly", model.value_or("<none>"));
  return 0;
}
