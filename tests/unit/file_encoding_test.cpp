#include "utility/ini/file_encoding.h"

#include <gtest/gtest.h>

#include <random>

namespace ventrel {
namespace {

using std::string_literals::operator""s;

TEST(EncodingTest, DetectsTheByteOrderMark) {
  EXPECT_EQ(DetectEncoding("\xFF\xFE[\0"s), FileEncoding::kUtf16Le);
  EXPECT_EQ(DetectEncoding("\xFE\xFF\0["s), FileEncoding::kUtf16Be);
  EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF[BOARD]"), FileEncoding::k8Bit);
  EXPECT_EQ(DetectEncoding("[BOARD]"), FileEncoding::k8Bit);
  EXPECT_EQ(DetectEncoding("\xFF"), FileEncoding::k8Bit);
  EXPECT_EQ(DetectEncoding(""), FileEncoding::k8Bit);
}

struct CodecCase {
  const char* name;
  std::string utf16le;  // mark included
  std::string utf8;
  std::string tail;
};

class Utf16CodecTest : public testing::TestWithParam<CodecCase> {};

TEST_P(Utf16CodecTest, DecodesAndEncodesBack) {
  const CodecCase& c = GetParam();
  std::string utf8;
  std::string tail;
  DecodeUtf16(c.utf16le, FileEncoding::kUtf16Le, utf8, tail);
  EXPECT_EQ(utf8, c.utf8);
  EXPECT_EQ(tail, c.tail);
  std::string bytes;
  ASSERT_TRUE(EncodeUtf16(utf8, FileEncoding::kUtf16Le, tail, bytes));
  EXPECT_EQ(bytes, c.utf16le);

  // Big-endian is the same text with each unit's bytes swapped.
  std::string swapped = c.utf16le.substr(0, c.utf16le.size() & ~std::size_t{1});
  for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) {
    std::swap(swapped[i], swapped[i + 1]);
  }
  swapped += c.tail;
  DecodeUtf16(swapped, FileEncoding::kUtf16Be, utf8, tail);
  EXPECT_EQ(utf8, c.utf8);
  ASSERT_TRUE(EncodeUtf16(utf8, FileEncoding::kUtf16Be, tail, bytes));
  EXPECT_EQ(bytes, swapped);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf16CodecTest,
    testing::Values(
        CodecCase{"ascii", "\xFF\xFE[\0B\0]\0\r\0\n\0"s, "\xEF\xBB\xBF[B]\r\n", ""},
        CodecCase{"latin", "\xFF\xFE\xE9\0"s, "\xEF\xBB\xBF\xC3\xA9", ""},
        CodecCase{"cjk", "\xFF\xFE\x2C\x67"s, "\xEF\xBB\xBF\xE6\x9C\xAC", ""},
        CodecCase{"pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, "\xEF\xBB\xBF\xF0\x9F\x98\x80", ""},
        CodecCase{"lone_high",
                  "\xFF\xFE\x3D\xD8"
                  "a\0"s,
                  "\xEF\xBB\xBF\xED\xA0\xBD"
                  "a",
                  ""},
        CodecCase{"lone_low_at_end", "\xFF\xFE\x00\xDE"s, "\xEF\xBB\xBF\xED\xB8\x80", ""},
        CodecCase{"nul", "\xFF\xFE\0\0x\0"s, "\xEF\xBB\xBF\0x"s, ""},
        CodecCase{"odd_last_byte", "\xFF\xFEx\0y"s, "\xEF\xBB\xBFx", "y"}),
    [](const testing::TestParamInfo<CodecCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(EncodingTest, RefusesWhatUtf16CannotHoldAsItStands) {
  const struct {
    const char* name;
    std::string utf8;
  } cases[] = {
      {"stray_continuation", "a\x80"},
      {"cut_short", "\xC3"},
      {"overlong", "\xC0\xAF"},
      {"beyond_unicode", "\xF4\x90\x80\x80"},
      {"lone_surrogates_forming_a_pair", "\xED\xA0\xBD\xED\xB8\x80"},
      {"latin1_byte", "caf\xE9"},
  };
  for (const auto& c : cases) {
    std::string bytes = "untouched";
    EXPECT_FALSE(EncodeUtf16(c.utf8, FileEncoding::kUtf16Le, "", bytes)) << c.name;
    EXPECT_EQ(bytes, "untouched") << c.name;
  }
}

// Any bytes at all read back as themselves, so an edit never changes what it did not touch.
TEST(EncodingTest, AnyBytesRoundTrip) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 40, '\0');
    for (char& c : bytes) {
      // Surrogate bytes are made frequent: they are where a codec goes wrong.
      const unsigned pick = random() % 4;
      c = static_cast<char>(pick == 0 ? 0xD8 + random() % 8 : random() % 256);
    }
    for (const FileEncoding encoding : {FileEncoding::kUtf16Le, FileEncoding::kUtf16Be}) {
      std::string utf8;
      std::string tail;
      DecodeUtf16(bytes, encoding, utf8, tail);
      std::string again;
      ASSERT_TRUE(EncodeUtf16(utf8, encoding, tail, again)) << "round " << round;
      ASSERT_EQ(again, bytes) << "round " << round;
    }
  }
}
}  // namespace
}  // namespace ventrel
