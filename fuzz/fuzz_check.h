// How a fuzz target reports a broken promise: what broke and the input's parts, then an abort, so
// that libFuzzer keeps the input as a crash to replay.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace ventrel::fuzz {

inline std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\') {
      out += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    }
  }
  return out;
}

[[noreturn]] inline void Fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "broken: %.*s\n%s\n", static_cast<int>(what.size()), what.data(),
               Printable(detail).c_str());
  std::abort();
}

inline void Check(bool ok, std::string_view what, std::string_view detail = {}) {
  if (!ok) {
    Fail(what, detail);
  }
}

}  // namespace ventrel::fuzz
