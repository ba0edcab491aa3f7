// What the platforms' file stores share: how often a read or a write step is tried again, and the
// test hook before a replacement. Only the file_store*.cpp files include this.
#pragma once

#include <functional>
#include <string>

#include "utility/store/file_store.h"

namespace ventrel::file_store {

// A file that keeps changing under a reader, or a writer that keeps losing the race against one
// who does not lock, gives up after this many tries rather than loop for ever.
inline constexpr int kAttempts = 5;

enum class ReadOutcome { kOk, kMissing, kFailed, kChanged };

// Runs `read_once` until the file holds still while it is read; `content` is cleared when it
// never did.
ReadResult ReadUntilStable(const std::function<ReadOutcome()>& read_once, std::string& content);

enum class StepOutcome { kDone, kFailed, kRaced };

// Runs `step` again while someone else changed the file behind its back; true once it is done.
bool StepUntilDone(const std::function<StepOutcome()>& step);

// Runs the hook SetBeforeReplacementHook installed, if any.
void RunBeforeReplacementHook();

}  // namespace ventrel::file_store
