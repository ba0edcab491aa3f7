#include "utility/ini/file_encoding.h"

#include <cstdint>

namespace ventrel {
namespace {

bool IsHighSurrogate(std::uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(std::uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::uint32_t UnitAt(std::string_view bytes, std::size_t at, FileEncoding encoding) {
  const auto first = static_cast<unsigned char>(bytes[at]);
  const auto second = static_cast<unsigned char>(bytes[at + 1]);
  return encoding == FileEncoding::kUtf16Le ? first | (second << 8) : (first << 8) | second;
}

void AppendUnit(std::string& bytes, std::uint32_t unit, FileEncoding encoding) {
  const char low = static_cast<char>(unit & 0xFF);
  const char high = static_cast<char>(unit >> 8);
  if (encoding == FileEncoding::kUtf16Le) {
    bytes += low;
    bytes += high;
  } else {
    bytes += high;
    bytes += low;
  }
}

void AppendUtf8(std::string& out, std::uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// Reads one code point (a lone surrogate counts as one) at `at`; 0 bytes read means invalid text.
std::size_t ReadUtf8(std::string_view text, std::size_t at, std::uint32_t& code_point) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      return 0;
    }
    code_point = (code_point << 6) | (next & 0x3F);
  }
  return code_point >= minimum && code_point <= 0x10FFFF ? length : 0;
}

}  // namespace

FileEncoding DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) {
    return FileEncoding::kUtf16Le;
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return FileEncoding::kUtf16Be;
  }
  return FileEncoding::k8Bit;
}

void DecodeUtf16(std::string_view bytes, FileEncoding encoding, std::string& utf8,
                 std::string& tail) {
  utf8.clear();
  const std::size_t even = bytes.size() & ~std::size_t{1};
  tail = bytes.substr(even);
  // Mostly ASCII: one byte per unit; the string grows where it must.
  utf8.reserve(even / 2);
  for (std::size_t at = 0; at < even; at += 2) {
    const std::uint32_t unit = UnitAt(bytes, at, encoding);
    if (IsHighSurrogate(unit) && at + 2 < even) {
      const std::uint32_t next = UnitAt(bytes, at + 2, encoding);
      if (IsLowSurrogate(next)) {
        AppendUtf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        at += 2;
        continue;
      }
    }
    AppendUtf8(utf8, unit);
  }
}

bool EncodeUtf16(std::string_view utf8, FileEncoding encoding, std::string_view tail,
                 std::string& bytes) {
  std::string out;
  out.reserve(utf8.size() * 2 + tail.size());
  bool after_lone_high = false;
  for (std::size_t at = 0; at < utf8.size();) {
    std::uint32_t code_point = 0;
    const std::size_t length = ReadUtf8(utf8, at, code_point);
    if (length == 0 || (after_lone_high && IsLowSurrogate(code_point))) {
      return false;
    }
    at += length;
    after_lone_high = IsHighSurrogate(code_point);
    if (code_point < 0x10000) {
      AppendUnit(out, code_point, encoding);
    } else {
      code_point -= 0x10000;
      AppendUnit(out, 0xD800 + (code_point >> 10), encoding);
      AppendUnit(out, 0xDC00 + (code_point & 0x3FF), encoding);
    }
  }
  out += tail;
  bytes.swap(out);
  return true;
}

}  // namespace ventrel
