// The promise every INI edit keeps, checked on any content: the edited key reads back as the value,
// every other lookup reads as it did, and nothing outside the edited line changes. Shared by the
// randomized unit test and the fuzzer, so that both hold the editor to the same promise.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace ventrel::test {

// Checks an EditIniText that succeeded, turning `before` into `after`. Empty when the promise
// holds; otherwise what broke it.
std::string CheckTextEdit(std::string_view before, std::string_view after, std::string_view section,
                          std::string_view key, std::string_view value);

// Checks an EditIniFile that succeeded on a file's bytes, in any encoding: the encoding is kept,
// and the decoded text keeps the promise above.
std::string CheckFileEdit(std::string_view before, std::string_view after, std::string_view section,
                          std::string_view key, std::string_view value);

// Random INI text of the kinds a driver and its users leave: sections and keys in any case and
// spacing (vertical tabs and form feeds too), duplicates, comments, quotes, CRLF, LF and bare CR, a
// byte-order mark, stray bytes, no final line end. Names come from a small set, so edits often meet
// what is already there.
std::string RandomIniText(std::mt19937& random);

// A random section, key or value: mostly names the text uses, sometimes odd or unstorable ones.
std::string RandomName(std::mt19937& random);
std::string RandomValue(std::mt19937& random);

}  // namespace ventrel::test
