// The file store as its tests drive it: a whole replacement, and a write over a file system of the
// test's.
#pragma once

#include <string>

#include "utility/store/primitives.h"

namespace ventrel {

// Replaces the file's content as UpdateWholeFile does, whatever it held.
inline WriteResult ReplaceWholeFile(const std::string& path, const std::string& content) {
  return UpdateWholeFile(path, [&content](std::string& current) {
    current = content;
    return EditResult::kChanged;
  });
}

namespace test {

// A write over `fs` that appends `line`, as an edit of the store must: a content that ends with
// it already is left unchanged. `calls` counts the runs of the edit.
inline WriteResult AppendOver(store::FileSystem& fs, const std::string& path,
                              const std::string& line, int* calls = nullptr) {
  return store::UpdateWholeFile(
      path,
      [&](std::string& content) {
        if (calls != nullptr) {
          ++*calls;
        }
        if (content.ends_with(line)) {
          return EditResult::kUnchanged;
        }
        content += line;
        return EditResult::kChanged;
      },
      kLockWait, fs);
}

}  // namespace test
}  // namespace ventrel
