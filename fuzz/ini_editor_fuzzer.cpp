// The INI editor on any content and any names: every edit it accepts keeps its promise (the key
// reads back as the value, every other lookup as before, nothing outside the edited line changes),
// and every edit it refuses leaves the content as it was. Both on text and on a file's bytes in
// whatever encoding they announce; two entries edited in one pass store what they store one after
// the other.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "support/ini_property.h"
#include "utility/ini/ini.h"

using ventrel::fuzz::Check;
constexpr ventrel::EditResult kFailed = ventrel::EditResult::kFailed;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = input.ConsumeRandomLengthString(24);
  const std::string key = input.ConsumeRandomLengthString(24);
  const std::string value = input.ConsumeRandomLengthString(48);
  const std::string key2 = input.ConsumeRandomLengthString(24);
  const std::string value2 = input.ConsumeRandomLengthString(48);
  const std::string before = input.ConsumeRemainingBytesAsString();
  const std::string detail =
      "[" + section + "] " + key + "=" + value + ", " + key2 + "=" + value2 + "\n" + before;

  std::string text = before;
  if (ventrel::EditIniText(text, {{key, value}}, section) != kFailed) {
    const std::string broken = ventrel::test::CheckTextEdit(before, text, section, key, value);
    Check(broken.empty(), broken, detail);
  } else {
    Check(text == before, "a refused text edit changed the content", detail);
  }

  std::string bytes = before;
  if (ventrel::EditIniFile(bytes, {{key, value}}, section) != kFailed) {
    const std::string broken = ventrel::test::CheckFileEdit(before, bytes, section, key, value);
    Check(broken.empty(), broken, detail);
    std::string read_back;
    Check(ventrel::FindIniFileValue(bytes, key, section, read_back) && read_back == value,
          "the file edit does not read back", detail);
  } else {
    Check(bytes == before, "a refused file edit changed the bytes", detail);
  }

  // Two entries in one pass store what the same two store one after the other. (Not every pass
  // that succeeds has two steps that do: a value UTF-16 cannot hold may be replaced by the next.)
  std::string together = before;
  if (ventrel::EditIniFile(together, {{key, value}, {key2, value2}}, section) != kFailed) {
    std::string one_by_one = before;
    if (ventrel::EditIniFile(one_by_one, {{key, value}}, section) != kFailed &&
        ventrel::EditIniFile(one_by_one, {{key2, value2}}, section) != kFailed) {
      Check(one_by_one == together, "two entries at once differ from one after the other", detail);
    }
  } else {
    Check(together == before, "a refused edit of two entries changed the bytes", detail);
  }
  return 0;
}
