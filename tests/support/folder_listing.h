// What a folder holds, for tests that must find it as they left it; without GoogleTest, so that the
// reliability run can use it too.
#pragma once

#include <string>

namespace ventrel::test {

// The names in a folder, sorted, joined by blanks, without "." and ".."; empty when it cannot be
// read.
std::string ListFolder(const std::string& path);

}  // namespace ventrel::test
