// The editing promise on random content, with fixed seeds so that a failure is repeatable: the
// fuzzer looks further, this test runs every time.
#include <gtest/gtest.h>

#include <random>

#include "support/ini_property.h"
#include "support/temp_dir.h"
#include "utility/ini/file_encoding.h"
#include "utility/ini/ini.h"
#include "utility/text.h"

namespace ventrel {
namespace {

constexpr int kSeeds = 4000;

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

// What the editor may refuse, stated apart from the editor's own checks.
bool Storable(const std::string& section, const std::string& key, const std::string& value) {
  const bool key_ok = !key.empty() && TrimIniBlanks(key) == key && !HasLineBreak(key) &&
                      key.find('=') == std::string::npos && key.front() != ';' &&
                      key.front() != '[';
  const bool section_ok = !section.empty() && TrimIniBlanks(section) == section &&
                          !HasLineBreak(section) && section.find(']') == std::string::npos;
  return key_ok && section_ok && !HasLineBreak(value);
}

std::string Utf16(const std::string& utf8, FileEncoding encoding) {
  std::string bytes;
  const std::string_view mark = encoding == FileEncoding::kUtf16Le ? "\xFF\xFE" : "\xFE\xFF";
  EXPECT_TRUE(EncodeUtf16(utf8, encoding, "", bytes));
  return std::string(mark) + bytes;
}

TEST(IniPropertyTest, EveryTextEditKeepsThePromise) {
  int edited = 0;
  for (int seed = 1; seed <= kSeeds; ++seed) {
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    const std::string before = test::RandomIniText(random);
    const std::string section = test::RandomName(random);
    const std::string key = test::RandomName(random);
    const std::string value = test::RandomValue(random);
    std::string after = before;
    const bool ok = EditIniText(after, {{key, value}}, section) != EditResult::kFailed;
    ASSERT_EQ(ok, Storable(section, key, value)) << "seed " << seed;
    if (!ok) {
      ASSERT_EQ(after, before) << "seed " << seed;
      continue;
    }
    ++edited;
    ASSERT_EQ(test::CheckTextEdit(before, after, section, key, value), "") << "seed " << seed;
  }
  EXPECT_GT(edited, kSeeds / 3) << "too few edits for the test to mean much";
}

TEST(IniPropertyTest, EveryFileEditKeepsThePromiseInEachEncoding) {
  for (const FileEncoding encoding :
       {FileEncoding::k8Bit, FileEncoding::kUtf16Le, FileEncoding::kUtf16Be}) {
    int edited = 0;
    int paired = 0;
    for (int seed = 1; seed <= kSeeds / 4; ++seed) {
      std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
      std::string text = test::RandomIniText(random);
      if (encoding != FileEncoding::k8Bit) {
        // Stray bytes that are no UTF-8 cannot stand in a UTF-16 file.
        std::string probe;
        if (!EncodeUtf16(text, encoding, "", probe)) {
          continue;
        }
      }
      const std::string before = encoding == FileEncoding::k8Bit ? text : Utf16(text, encoding);
      const std::string section = test::RandomName(random);
      const std::string key = test::RandomName(random);
      const std::string value = test::RandomValue(random);
      std::string after = before;
      if (EditIniFile(after, {{key, value}}, section) == EditResult::kFailed) {
        ASSERT_EQ(after, before) << "seed " << seed;
        continue;
      }
      ASSERT_EQ(test::CheckFileEdit(before, after, section, key, value), "")
          << "seed " << seed << " encoding " << static_cast<int>(encoding);
      std::string read_back;
      ASSERT_TRUE(FindIniFileValue(after, key, section, read_back)) << "seed " << seed;
      ASSERT_EQ(read_back, value) << "seed " << seed;
      ++edited;

      // Two entries in one pass store what the same two store one after the other.
      const std::string key2 = test::RandomName(random);
      const std::string value2 = test::RandomValue(random);
      std::string together = before;
      if (EditIniFile(together, {{key, value}, {key2, value2}}, section) == EditResult::kFailed) {
        ASSERT_EQ(together, before) << "seed " << seed;
        continue;
      }
      if (EditIniFile(after, {{key2, value2}}, section) != EditResult::kFailed) {
        ASSERT_EQ(together, after) << "seed " << seed << " encoding " << static_cast<int>(encoding);
        paired += together != before ? 1 : 0;
      }
    }
    EXPECT_GT(edited, kSeeds / 16) << "encoding " << static_cast<int>(encoding);
    EXPECT_GT(paired, kSeeds / 32) << "encoding " << static_cast<int>(encoding);
  }
}

// Through the real file: what Affecte leaves is what the editing rules make of the bytes, and what
// Donne then reads is the value.
TEST(IniPropertyTest, AffecteOnAFileKeepsThePromise) {
  test::TempDir dir;
  const std::string file = dir.Path("VENTREL_DLL.INI");
  for (int seed = 1; seed <= 300; ++seed) {
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    const std::string before = test::RandomIniText(random);
    const std::string section = test::RandomName(random);
    const std::string key = test::RandomName(random);
    const std::string value = test::RandomValue(random);
    test::WriteFile(file, before);
    CIni ini;
    const bool ok = ini.Affecte(value, key, section, file);
    ASSERT_EQ(ok, Storable(section, key, value)) << "seed " << seed;
    const std::string after = test::ReadFile(file);
    if (!ok) {
      ASSERT_EQ(after, before) << "seed " << seed;
      continue;
    }
    ASSERT_EQ(test::CheckFileEdit(before, after, section, key, value), "") << "seed " << seed;
    std::string read_back;
    ASSERT_TRUE(ini.Donne(read_back, key, "default", section, file)) << "seed " << seed;
    ASSERT_EQ(read_back, value) << "seed " << seed;
    ASSERT_EQ(test::ListFolder(dir.path()), "VENTREL_DLL.INI") << "seed " << seed;
  }
}

// The checker itself must catch what a faulty editor would do.
struct BrokenEdit {
  const char* name;
  std::string before;
  std::string after;
};

class IniPropertyCheckerTest : public testing::TestWithParam<BrokenEdit> {};

TEST_P(IniPropertyCheckerTest, CatchesABrokenEdit) {
  const BrokenEdit& c = GetParam();
  EXPECT_NE(test::CheckTextEdit(c.before, c.after, "BOARD", "TYPE", "301"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, IniPropertyCheckerTest,
    testing::Values(
        BrokenEdit{"value_not_stored", "[BOARD]\nTYPE=300\n", "[BOARD]\nTYPE=300\n"},
        BrokenEdit{"other_key_changed", "[BOARD]\nTYPE=300\nX=1\n", "[BOARD]\nTYPE=301\nX=2\n"},
        BrokenEdit{"line_end_changed", "[BOARD]\r\nTYPE=300\r\n", "[BOARD]\r\nTYPE=301\n"},
        BrokenEdit{"comment_dropped", "[BOARD]\n;c\nTYPE=300\n", "[BOARD]\nTYPE=301\n"},
        BrokenEdit{"other_section_lost", "[A]\nK=1\n[BOARD]\nTYPE=3\n", "[BOARD]\nTYPE=301\n"},
        BrokenEdit{"key_respelled", "[BOARD]\nType=300\n", "[BOARD]\nTYPE=301\n"},
        BrokenEdit{"stray_line_added", "[BOARD]\n", "[BOARD]\nTYPE=301\nJUNK\n"},
        BrokenEdit{"key_shadowed", "[BOARD]\nX=1\n", "[BOARD]\nTYPE=301\n[BOARD]\nX=1\n"}),
    [](const testing::TestParamInfo<BrokenEdit>& param_info) {
      return std::string(param_info.param.name);
    });

}  // namespace
}  // namespace ventrel
