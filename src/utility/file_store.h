// Whole-file reads and atomic whole-file replacement, the only file I/O of the core.
#pragma once

#include <string>

namespace ventrel {

enum class ReadResult { kOk, kMissing, kFailed };

// True when `path` names an existing regular file (a link to one counts).
bool IsExistingFile(const std::string& path);

// Reads the whole file into `content`. kMissing when there is no file at all; kFailed when there is
// one that cannot be read (no permission, a folder, an I/O error).
ReadResult ReadWholeFile(const std::string& path, std::string& content);

// Replaces the file's content atomically: a temporary file in the same folder receives `content`,
// is flushed to disk and renamed over the original, which keeps its permissions. A symbolic link is
// followed and its target replaced. A read-only file is not replaced. On any failure the original
// stays untouched, no temporary file is left, and the result is false.
bool ReplaceWholeFile(const std::string& path, const std::string& content);

}  // namespace ventrel
