// The file store as its tests drive it: a whole replacement, and renames a test can step into.
#pragma once

#include <functional>
#include <string>
#include <utility>

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

// Runs `before` in the instant ahead of each rename of a write: where another writer's rename
// can still be under way.
class HookedRenamer final : public store::Renamer {
 public:
  explicit HookedRenamer(std::function<void()> before) : before_(std::move(before)) {}
  store::SystemError Rename(const store::NativePath& from, const store::NativePath& to,
                            store::RenameMode mode) const override {
    before_();
    return store::Renamer::Rename(from, to, mode);
  }

 private:
  std::function<void()> before_;
};

}  // namespace test
}  // namespace ventrel
