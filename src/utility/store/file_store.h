// Whole-file reads and atomic whole-file replacement, the only file I/O of the core.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace ventrel {

enum class ReadResult { kOk, kMissing, kFailed };

// No INI file comes near this size; reading a larger one whole would take memory the machine may
// not have, so it is refused.
inline constexpr std::uint64_t kMaxFileSize = std::uint64_t{512} << 20;

// Room a read leaves after the content, so that an edit that adds a line or a section grows it
// where it lies instead of copying a big file to a buffer twice its size.
inline constexpr std::size_t kEditRoom = 4096;

// How long a writer waits for another one to finish with a file before it gives up.
inline constexpr std::chrono::milliseconds kLockWait{15000};

// True when `path` names an existing regular file (a link to one counts).
bool IsExistingFile(const std::string& path);

// Reads the whole file into `content`. kMissing when there is no file at all; kFailed when there is
// one that cannot be read (no permission, no regular file, larger than kMaxFileSize, an I/O error,
// or it kept changing while it was read). Never blocks on a pipe or a device.
ReadResult ReadWholeFile(const std::string& path, std::string& content);

enum class EditResult { kChanged, kUnchanged, kFailed };

// Why a write failed, as far as the system tells it: what a user can act upon.
enum class WriteFailure {
  kNone,
  kOther,         // nothing the user can act upon (a bad path, an I/O error, an edit refused)
  kHeldOpen,      // another program holds the file (or our lock) and does not let go
  kNoPermission,  // the file is read-only, or the user may not change it or its folder
  kDiskFull,
  kKeptChanging,       // another program, not taking our lock, changed the file at every try
  kAttributesNotKept,  // the file is hidden or a system file, and a replacement here could not be
};

// True when written. Converts to bool implicitly: most callers only ask whether it worked.
struct WriteResult {
  WriteFailure failure = WriteFailure::kNone;
  // A copy of an earlier version, which another program may have written, is kept beside the
  // file (see UpdateWholeFile), written or not.
  bool kept_copy = false;
  operator bool() const { return failure == WriteFailure::kNone; }  // NOLINT
};

// Changes a file's content in place (empty when there is no file) and tells what it did. It may
// run more than once, and once more on what it wrote: what it would change being there already,
// it answers kUnchanged (setting a value does).
using FileEdit = std::function<EditResult(std::string& content)>;

// Reads the file, lets `edit` change its content and replaces the file with the result, as one
// step that no other writer through this function can come between:
// - the step holds an exclusive advisory lock (flock on the file's folder on Linux, a named mutex
//   for the file on Windows), waiting at most `lock_wait` for it;
// - on Linux the replacement is atomic: a temporary file in the same folder, created exclusively
//   (never through a link someone planted), receives the content, is flushed to disk and
//   exchanged with the original (renamed over it where the file system has no exchange), keeping
//   its permissions and owner;
// - on Windows an existing file is written in place, as the profile functions write it, so that
//   nothing is renamed over a file the driver may be writing: a journal beside it (a temporary
//   holding the old content and then the new, flushed, renamed write-through to "." + the file's
//   name + ".vcjournal-", six letters or digits and the two contents' hashes) comes first; then
//   the file is opened sharing only reading, compared byte for byte with what was read, written
//   from the start, cut and flushed, and the journal goes. The file keeps its attributes, its
//   access-control list and its owner; the journal is given the same list. A write of someone
//   else's while the file is open for us is refused (they are told), one before it is found by the
//   comparison and edited again, and readers may see a mix of old and new for that instant. The
//   next write rolls back one that a crash cut short (the file a mix of the journal's two
//   contents), drops a journal that was not complete, and keeps, where someone wrote the file since
//   a power loss cut ours, what the cut write read as a kept copy (see below). A new file is
//   renamed into place, never over one that appeared meanwhile;
// - where the journal cannot be written (a folder that refuses new files) or the replacement is
//   refused although the file itself may be written (Linux: the file is mounted over), the
//   content is written in place without a journal, under the lock and after the same checks:
//   then a crash in the middle of it can leave a torn file;
// - when someone who does not take the lock changes or replaces the file between the read and the
//   write, `edit` runs again on the new content (twenty times at least, and for about two
//   seconds at most), so their change is never lost; on Linux this holds even in the instant of
//   the exchange; where a file is renamed over, the file keeps a second name through the rename,
//   which shows what the rename displaced, and theirs goes back (where the folder takes no hard
//   links, the last look before the rename compares the content too, and a write in the instant
//   after it is still undone);
// - a write that met another writer (a change, a holder waited for, or, where no exchange is to
//   be had, a file written less than a second before ours) runs `edit` once more 50 ms later,
//   which writes again should a writer that read before our write have written the older
//   content back after it; an edit that leaves the content as it was writes nothing;
// - after a successful step (kChanged or kUnchanged), temporary files that a killed writer left for
//   this file are removed (they are named "." + the file's name + ".vctmp-" and six letters or
//   digits, and hold only what a writer of ours wrote);
// - a file that a replacement displaced, which may be someone else's, is only ever under a kept
//   name ("." + the file's name + ".vckept-", six letters or digits, and the hashes of what that
//   write read and wrote), never under a temporary's. Its name goes as soon as it shows to hold
//   what that write read (or wrote), or to be a second name of the file itself. Otherwise, where
//   the store cannot tell, or cannot put someone's file back, the copy stays: that write fails,
//   and every later write reports it (kept_copy) until it is settled or removed by hand.
// A link is followed and its target replaced, but only when each link on the way belongs to the
// user, to root or to the owner of the file it leads to: a link another user planted is refused.
// A read-only file is not replaced, and neither is one whose owner or group the replacement could
// not keep. On any failure the original stays untouched, no temporary file is left, and the result
// tells why.
WriteResult UpdateWholeFile(const std::string& path, const FileEdit& edit,
                            std::chrono::milliseconds lock_wait = kLockWait);

}  // namespace ventrel
