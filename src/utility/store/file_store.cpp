// The store's algorithm, the same on every platform: a read checked against the file's identity,
// and the locked read-edit-replace step. The platform gives only the primitives it stands on.
#include "utility/store/file_store.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "utility/store/primitives.h"

namespace ventrel {
namespace store {
namespace {

// A file that keeps changing under a reader gives up after this many tries rather than loop for
// ever.
constexpr int kReadAttempts = 5;
// And a writer that keeps losing the race against one who does not lock. A driver that writes
// every few milliseconds changes the file during about half of our steps (each writes and
// flushes a temporary), so a write gets at least this many tries, and goes on trying for as long
// as kUpdatePatience allows: on a busy machine twenty tries are spent in a fraction of a second,
// and the driver's next write comes when the scheduler lets it, not ours.
constexpr int kUpdateAttempts = 20;
constexpr std::chrono::milliseconds kUpdatePatience{2000};
// Tries at a temporary name before giving up: a clash of six random letters is already rare.
constexpr int kNameAttempts = 16;
// Another program (the driver, a virus scanner, an editor) may hold the board file for a moment:
// the driver's own write holds it for about a millisecond, so the first waits are that short,
// and then they grow to kLongestHolderWait, about a second in all, still instant to the user.
constexpr int kHolderWaits = 25;
constexpr std::chrono::milliseconds kLongestHolderWait{50};
// A write that met another writer looks again this long after it is done: a writer that read the
// file before our rename may write after it, and what it writes, which holds what it read, then
// undoes ours.
constexpr std::chrono::milliseconds kConfirmAfter{50};
// A file written this shortly before our own write has a writer at work: a driver's write that
// read before our rename leaves no other trace.
constexpr std::int64_t kRecentWriteMs = 1000;

// Our temporaries hold only what we wrote, so a sweep may remove them. A name that may hold
// someone else's file (the one a replacement displaced) is a kept copy: never swept, only
// removed once it is shown to hold nothing the file lacks.
constexpr std::string_view kTemporaryTag = ".vctmp-";
constexpr std::string_view kKeptTag = ".vckept-";
// A journal: what a write in place read and what it writes, one after the other, flushed before
// the file is touched, so that the next write can roll back one a crash cut short.
constexpr std::string_view kJournalTag = ".vcjournal-";
constexpr std::size_t kUniqueLength = 6;
constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::string_view kLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// For a failure the system gave no code for.
constexpr SystemError kUnknownError = ~SystemError{0};

enum class StepOutcome { kDone, kFailed, kRaced };

ErrorKind KindOf(const FileSystem& fs, SystemError error) {
  return fs.Meaning(error).kind;
}

// Why a step failed; kOther where the system said nothing.
WriteFailure FailureOf(const FileSystem& fs, SystemError error) {
  const WriteFailure failure = fs.Meaning(error).failure;
  return failure == WriteFailure::kNone ? WriteFailure::kOther : failure;
}

// Refused, but the file itself may be written in place.
bool IsRefused(const FileSystem& fs, SystemError error) {
  const ErrorKind kind = KindOf(fs, error);
  return kind == ErrorKind::kHeld || kind == ErrorKind::kRefused;
}

// After the `attempt`th refusal of a step, from 1: waits for the holder to let go (1, 2, 4 ...
// ms). False where waiting does not help, or once it has been waited for long enough.
bool WaitForHolder(FileSystem& fs, SystemError error, int attempt) {
  if (attempt >= kHolderWaits || KindOf(fs, error) != ErrorKind::kHeld) {
    return false;
  }
  fs.Pause(attempt > 6
               ? kLongestHolderWait
               : std::min(kLongestHolderWait, std::chrono::milliseconds{1 << (attempt - 1)}));
  return true;
}

NativePath Native(std::string_view ascii) {
  return NativePath(ascii.begin(), ascii.end());
}

std::size_t NameStart(const NativePath& path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == NativePath::npos ? 0 : separator + 1;
}

// Same file, same content, same metadata: nobody touched it.
bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.exists == b.exists &&
         (!a.exists || (a.device == b.device && a.index == b.index && a.size == b.size &&
                        a.write_time == b.write_time && a.change_time == b.change_time));
}

// The same file, unchanged in content: a rename changes a file's metadata, not its write time.
bool SameContent(const FileIdentity& a, const FileIdentity& b) {
  return a.exists && b.exists && a.device == b.device && a.index == b.index && a.size == b.size &&
         a.write_time == b.write_time;
}

bool SameObject(const FileIdentity& a, const FileIdentity& b) {
  return a.exists && b.exists && a.device == b.device && a.index == b.index;
}

// One read; nothing when the file changed while it was read, so that the bytes may be a mix.
// `error` tells what the system said of a failure, if anything.
std::optional<ReadResult> ReadOnce(FileSystem& fs, const NativePath& path, bool follow_link,
                                   std::string& content, FileIdentity& identity,
                                   SystemError& error) {
  content.clear();
  identity = FileIdentity{};
  error = 0;
  FileHandle file;
  for (int attempt = 1; !path.empty(); ++attempt) {
    file = fs.OpenForReading(path, follow_link, error);
    if (file.valid() || !WaitForHolder(fs, error, attempt)) {
      break;
    }
  }
  if (!file.valid()) {
    return path.empty() || KindOf(fs, error) == ErrorKind::kMissing ? ReadResult::kMissing
                                                                    : ReadResult::kFailed;
  }
  if (!fs.IdentityOf(file, identity) || !identity.plain || identity.size > kMaxFileSize) {
    identity = FileIdentity{};
    return ReadResult::kFailed;
  }
  content.reserve(static_cast<std::size_t>(identity.size) + kEditRoom);
  fs.PrepareToFill(content);
  char buffer[64 * 1024];
  std::int64_t n = 0;
  while ((n = fs.ReadSome(file, buffer, sizeof buffer, error)) > 0) {
    if (content.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
      break;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  if (n != 0) {
    content.clear();
    return ReadResult::kFailed;
  }
  FileIdentity after;
  if (!fs.IdentityOf(file, after) || !SameFile(identity, after) ||
      content.size() != identity.size) {
    return std::nullopt;
  }
  return ReadResult::kOk;
}

// Reads until the file holds still while it is read; `content` is cleared when it never did, and
// `kept_changing` (when given) tells so.
ReadResult ReadStable(FileSystem& fs, const NativePath& path, bool follow_link,
                      std::string& content, FileIdentity& identity, SystemError& error,
                      bool* kept_changing = nullptr) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    if (const auto result = ReadOnce(fs, path, follow_link, content, identity, error)) {
      return *result;
    }
  }
  content.clear();
  if (kept_changing != nullptr) {
    *kept_changing = true;
  }
  return ReadResult::kFailed;
}

// The hash of the file's whole content; nothing when it cannot be read.
std::optional<std::uint64_t> HashAt(FileSystem& fs, const NativePath& path) {
  std::string content;
  FileIdentity identity;
  SystemError error = 0;
  if (ReadStable(fs, path, false, content, identity, error) != ReadResult::kOk) {
    return std::nullopt;
  }
  return ContentHash(content);
}

// Whether the open file holds `expected`, byte for byte, read from its start.
bool HoldsExactly(FileSystem& fs, const FileHandle& file, std::string_view expected) {
  char buffer[64 * 1024];
  SystemError error = 0;
  std::size_t at = 0;
  for (std::int64_t n; (n = fs.ReadSome(file, buffer, sizeof buffer, error)) > 0;
       at += static_cast<std::size_t>(n)) {
    if (expected.substr(at, static_cast<std::size_t>(n)) !=
        std::string_view(buffer, static_cast<std::size_t>(n))) {
      return false;
    }
  }
  return error == 0 && at == expected.size();
}

// The file opened to be written alone: with a handle that lets others read but not write
// (Windows), once it shows to hold still what was read. The look compares the identity and,
// when `read_content` is given, the content as well, since a write time of FAT's two-second
// grain does not show a write that kept the size. Invalid otherwise, with `outcome` telling why.
FileHandle HoldUnchanged(FileSystem& fs, const NativePath& target,
                         const FileIdentity& read_identity, const std::string* read_content,
                         FileIdentity& now, StepOutcome& outcome, WriteFailure& why, bool* waited) {
  SystemError error = 0;
  FileHandle file;
  for (int attempt = 1; !(file = fs.OpenForWriting(target, error)).valid(); ++attempt) {
    if (!WaitForHolder(fs, error, attempt)) {
      why = FailureOf(fs, error);
      outcome =
          KindOf(fs, error) == ErrorKind::kMissing ? StepOutcome::kRaced : StepOutcome::kFailed;
      return file;
    }
    if (waited != nullptr) {
      *waited = true;
    }
  }
  if (!fs.IdentityOf(file, now) || !SameFile(read_identity, now) ||
      (read_content != nullptr && !HoldsExactly(fs, file, *read_content))) {
    outcome = StepOutcome::kRaced;
    return FileHandle();
  }
  outcome = StepOutcome::kDone;
  return file;
}

// Flushes the file once our own handle on it is closed, so that a holder of ours does not keep
// the driver out while the disk catches up; waits for a program that holds it alone.
SystemError FlushOpen(FileSystem& fs, const NativePath& target) {
  for (int attempt = 1;; ++attempt) {
    const SystemError error = fs.Flush(target);
    if (error == 0 || !WaitForHolder(fs, error, attempt)) {
      return error;
    }
  }
}

// The profile functions' way: the content goes over the file itself, held from the last look to
// the end of the write (the flush comes after), so that a write of someone else's in that time is
// refused rather than undone. Not atomic: without a journal (see WriteAlone) a crash halfway leaves
// a torn file.
StepOutcome WriteInPlace(FileSystem& fs, const NativePath& target, const std::string& content,
                         const FileIdentity& read_identity, WriteFailure& why,
                         const std::string* read_content = nullptr, bool* waited = nullptr) {
  FileIdentity now;
  StepOutcome outcome = StepOutcome::kFailed;
  FileHandle file =
      HoldUnchanged(fs, target, read_identity, read_content, now, outcome, why, waited);
  if (!file.valid()) {
    return outcome;
  }
  SystemError error = fs.Overwrite(file, content, now);
  file.Close();
  if (error == 0) {
    error = FlushOpen(fs, target);
  }
  why = FailureOf(fs, error);
  return error == 0 ? StepOutcome::kDone : StepOutcome::kFailed;
}

// A temporary under a fresh name beside the target; `temp_path` is empty when none was written.
SystemError WriteBeside(FileSystem& fs, const NativePath& target, const std::string& content,
                        const FileIdentity& original, std::mt19937& random, NativePath& temp_path) {
  const std::size_t name_start = NameStart(target);
  const NativePath name = target.substr(name_start);
  SystemError error = kUnknownError;
  for (int attempt = 0; attempt < kNameAttempts && error != 0; ++attempt) {
    temp_path = target.substr(0, name_start) + TemporaryFileName(name, random);
    error = fs.WriteTemporary(temp_path, target, content, original);
    if (error != 0 && KindOf(fs, error) != ErrorKind::kExisting) {
      break;
    }
  }
  if (error != 0) {
    temp_path.clear();
  }
  return error;
}

// A fresh kept name beside `target`, for a file that may become someone else's.
NativePath KeptNameBeside(const NativePath& target, const KeptHashes& hashes,
                          std::mt19937& random) {
  const std::size_t name_start = NameStart(target);
  return target.substr(0, name_start) + KeptFileName(target.substr(name_start), hashes, random);
}

// Removes `path` when it is, for certain, the file `ours` describes.
bool RemoveIfOurs(FileSystem& fs, const NativePath& path, const FileIdentity& ours) {
  FileIdentity now;
  if (!fs.IdentityAt(path, now) || !SameObject(now, ours)) {
    return false;
  }
  fs.RemoveFile(path);
  return true;
}

// After an atomic exchange: what came out under the kept name must be what we read. If it is not,
// someone's rename was still under way in the kernel when we checked (on ext4 one can wait
// milliseconds for the journal our flush commits): theirs goes back and the step starts again.
// Only our own file, or the one we read, leaves the kept name; whatever else comes out there, or
// cannot be looked at, stays for the end of the write to settle or report.
StepOutcome SettleExchange(FileSystem& fs, const NativePath& kept, const NativePath& target,
                           const FileIdentity& read_identity, const FileIdentity& ours) {
  FileIdentity displaced;
  if (!fs.IdentityAt(kept, displaced)) {
    return StepOutcome::kFailed;
  }
  if (SameContent(read_identity, displaced)) {
    fs.RemoveFile(kept);
    return StepOutcome::kDone;
  }
  // Should yet another writer have replaced ours meanwhile, the exchange back brings out their
  // newer file: one more puts it back in place, and the older one stays kept. Should the file's
  // name have been removed meanwhile, theirs goes back without replacing anything.
  for (int exchange = 0; exchange < 2; ++exchange) {
    if (const SystemError error = fs.Rename(kept, target, RenameMode::kExchange)) {
      if (KindOf(fs, error) == ErrorKind::kMissing &&
          fs.Rename(kept, target, RenameMode::kNoReplace) == 0) {
        return StepOutcome::kRaced;
      }
      return RemoveIfOurs(fs, kept, ours) ? StepOutcome::kRaced : StepOutcome::kFailed;
    }
    FileIdentity out;
    if (!fs.IdentityAt(kept, out)) {
      return StepOutcome::kRaced;
    }
    if (!out.exists || RemoveIfOurs(fs, kept, ours)) {
      return StepOutcome::kRaced;
    }
  }
  return StepOutcome::kRaced;
}

// Linux: the temporary exchanged with the file, atomically, under a kept name first, so that a
// writer killed before it settles leaves the displaced file kept, not swept. Nothing when the
// file system cannot exchange: `ours_path` then names our file, still to be renamed over.
std::optional<StepOutcome> Exchange(FileSystem& fs, NativePath& ours_path, const NativePath& target,
                                    const std::string& content, const FileIdentity& read_identity,
                                    const KeptHashes& hashes, std::mt19937& random,
                                    WriteFailure& why) {
  FileIdentity ours;
  if (!fs.IdentityAt(ours_path, ours) || !ours.exists) {
    fs.RemoveFile(ours_path);
    return StepOutcome::kFailed;
  }
  const NativePath kept = KeptNameBeside(target, hashes, random);
  SystemError error = fs.Rename(ours_path, kept, RenameMode::kNoReplace);
  if (error != 0) {
    fs.RemoveFile(ours_path);
    why = FailureOf(fs, error);
    return StepOutcome::kFailed;
  }
  ours_path = kept;
  error = fs.Rename(kept, target, RenameMode::kExchange);
  if (error == 0) {
    return SettleExchange(fs, kept, target, read_identity, ours);
  }
  if (KindOf(fs, error) == ErrorKind::kUnsupported) {
    return std::nullopt;
  }
  fs.RemoveFile(kept);  // ours still: nothing was exchanged
  why = FailureOf(fs, error);
  // Over a mount point: written in place, as the driver would.
  if (IsRefused(fs, error)) {
    return WriteInPlace(fs, target, content, read_identity, why);
  }
  return KindOf(fs, error) == ErrorKind::kMissing ? StepOutcome::kRaced : StepOutcome::kFailed;
}

// Removes the link when it holds nothing that would be lost with its name: it is still the file
// we read, unchanged, or still a second name of the file itself.
void ForgetLink(FileSystem& fs, const NativePath& link, const NativePath& target,
                const FileIdentity& read_identity) {
  FileIdentity linked;
  FileIdentity file;
  if (fs.IdentityAt(link, linked) && (SameContent(read_identity, linked) ||
                                      (fs.IdentityAt(target, file) && SameObject(linked, file)))) {
    fs.RemoveFile(link);
  }
}

// How a rename over the file ended.
enum class Replaced {
  kDone,       // ours is in place, and what it displaced was what we read
  kRaced,      // someone else's write came between: edited again on what is there now
  kRefused,    // nothing renamed: a holder did not let go, or renames over the file are refused
  kFailed,     // nothing renamed
  kUnsettled,  // ours is in place, but what it displaced may be someone's and stays kept
};

// The temporary renamed over the file, where no exchange is to be had. It owns two names beside
// the file and leaves neither unless it may hold someone else's file: the temporary, until the
// rename takes it, and the link, a kept name that the file we replace has through the rename.
// A program that writes without our lock and wrote between our last look and the rename would
// otherwise lose that write without a word; the link shows it, and theirs goes back. No rename
// goes ahead while a holder keeps the link from being made. Where the file system has no hard
// links the last look compares the content as well: a write time of FAT's two-second grain
// does not show a write that kept the size.
class Replacement {
 public:
  Replacement(FileSystem& fs, const NativePath& temp, const NativePath& target,
              const FileIdentity& read, std::uint64_t read_hash, std::mt19937& random)
      : fs_(fs),
        temp_(temp),
        target_(target),
        read_(read),
        read_hash_(read_hash),
        random_(random) {}
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement() {
    if (!temp_.empty()) {
      fs_.RemoveFile(temp_);
    }
    if (!link_.empty() && !keep_link_) {
      ForgetLink(fs_, link_, target_, read_);
    }
  }

  Replaced Run(WriteFailure& why) {
    if (!fs_.IdentityAt(temp_, ours_) || !ours_.exists) {
      return Replaced::kFailed;
    }
    for (int attempt = 1;; ++attempt) {
      SystemError error = link_.empty() && links_ ? Watch() : 0;
      if (error == 0) {
        error = fs_.ReplaceIfUnchanged(temp_, target_, [this] { return Unchanged(); });
        if (error == 0) {
          temp_.clear();
          return link_.empty() ? Replaced::kDone : Settle(why);
        }
        if (error == kChangedMeanwhile) {
          return Replaced::kRaced;
        }
      }
      if (!Wait(error, attempt)) {
        why = FailureOf(fs_, error);
        return KindOf(fs_, error) == ErrorKind::kMissing ? Replaced::kRaced
               : IsRefused(fs_, error)                   ? Replaced::kRefused
                                                         : Replaced::kFailed;
      }
    }
  }

  // Whether another program held the file at some point: it may be writing it.
  bool waited() const { return waited_; }

 private:
  // Gives the file its link; 0 too where the file system makes none (the last look then does
  // all the watching). An error only while a holder keeps it from being made, or the file is
  // gone.
  SystemError Watch() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      NativePath link = KeptNameBeside(target_, {read_hash_, read_hash_}, random_);
      const SystemError error = fs_.LinkBeside(target_, link);
      const ErrorKind kind = KindOf(fs_, error);
      if (error == 0) {
        link_ = std::move(link);
        return 0;
      }
      if (kind == ErrorKind::kHeld || kind == ErrorKind::kMissing) {
        return error;
      }
      if (kind != ErrorKind::kExisting) {
        break;
      }
    }
    links_ = false;
    return 0;
  }

  bool Unchanged() const {
    FileIdentity now;
    return fs_.IdentityAt(target_, now) && SameContent(read_, now) &&
           (!link_.empty() || HashAt(fs_, target_) == read_hash_);
  }

  bool Wait(SystemError error, int attempt) {
    if (!WaitForHolder(fs_, error, attempt)) {
      return false;
    }
    waited_ = true;
    return true;
  }

  // After the rename the link names the file we displaced:
  //   what the link holds               what becomes of it     the replacement
  //   nothing we could look at          kept                   unsettled: cannot tell
  //   the file we read, unchanged       its name goes          done
  //   theirs, put back over ours        gone with the rename   raced: edited again on theirs
  //   theirs, ours changed meanwhile    kept                   raced: edited again, reported
  //   theirs, ours held: put in place   its name goes          raced: edited again on theirs
  //   theirs, nothing worked            kept                   unsettled
  Replaced Settle(WriteFailure& why) {
    keep_link_ = true;
    FileIdentity displaced;
    if (!fs_.IdentityAt(link_, displaced) || !displaced.exists) {
      return Replaced::kUnsettled;
    }
    if (SameContent(read_, displaced)) {
      fs_.RemoveFile(link_);
      return Replaced::kDone;
    }
    const auto still_ours = [this] {
      FileIdentity now;
      return fs_.IdentityAt(target_, now) && SameContent(ours_, now);
    };
    for (int attempt = 1;; ++attempt) {
      const SystemError error = fs_.ReplaceIfUnchanged(link_, target_, still_ours);
      if (error == 0 || error == kChangedMeanwhile) {
        return Replaced::kRaced;
      }
      if (!Wait(error, attempt)) {
        why = FailureOf(fs_, error);
        return IsRefused(fs_, error) && PutBackInPlace(displaced, why) ? Replaced::kRaced
                                                                       : Replaced::kUnsettled;
      }
    }
  }

  // Theirs over ours in place, as the profile functions write, while ours is held open.
  bool PutBackInPlace(const FileIdentity& displaced, WriteFailure& why) {
    std::string theirs;
    FileIdentity theirs_identity;
    FileIdentity now;
    SystemError error = 0;
    if (!fs_.IdentityAt(target_, now) || !SameContent(ours_, now) ||
        ReadStable(fs_, link_, false, theirs, theirs_identity, error) != ReadResult::kOk ||
        !SameContent(displaced, theirs_identity) ||
        WriteInPlace(fs_, target_, theirs, now, why) != StepOutcome::kDone) {
      return false;
    }
    fs_.RemoveFile(link_);
    return true;
  }

  FileSystem& fs_;
  NativePath temp_;  // ours, until the rename takes it
  const NativePath& target_;
  const FileIdentity& read_;
  const std::uint64_t read_hash_;
  std::mt19937& random_;
  FileIdentity ours_;
  NativePath link_;
  bool links_ = true;       // false once the file system makes none
  bool keep_link_ = false;  // the link may hold someone else's file
  bool waited_ = false;
};

// Puts the temporary file in the file's place: atomic, so that the driver finds the old file or
// the new one and never none. A new file never replaces one that appeared meanwhile; an existing
// one is exchanged where the system can, renamed over otherwise, and written in place where the
// rename is refused although the file itself may be written.
StepOutcome Install(FileSystem& fs, const NativePath& temp_path, const NativePath& target,
                    const std::string& content, const FileIdentity& read_identity,
                    const KeptHashes& hashes, std::mt19937& random, WriteFailure& why,
                    bool& others) {
  if (!read_identity.exists) {
    const SystemError error = fs.Rename(temp_path, target, RenameMode::kNoReplace);
    if (error == 0) {
      return StepOutcome::kDone;
    }
    fs.RemoveFile(temp_path);
    why = FailureOf(fs, error);
    const ErrorKind kind = KindOf(fs, error);
    return kind == ErrorKind::kExisting || kind == ErrorKind::kMissing ? StepOutcome::kRaced
                                                                       : StepOutcome::kFailed;
  }
  NativePath ours_path = temp_path;
  if (fs.CanExchange()) {
    if (const auto exchanged =
            Exchange(fs, ours_path, target, content, read_identity, hashes, random, why)) {
      return *exchanged;
    }
  }
  Replacement replacement(fs, ours_path, target, read_identity, hashes.read, random);
  const Replaced replaced = replacement.Run(why);
  others = others || replacement.waited();
  switch (replaced) {
    case Replaced::kDone:
      return StepOutcome::kDone;
    case Replaced::kRaced:
      return StepOutcome::kRaced;
    case Replaced::kRefused:
      return WriteInPlace(fs, target, content, read_identity, why);
    case Replaced::kFailed:
    case Replaced::kUnsettled:
      break;
  }
  return StepOutcome::kFailed;
}

// What earlier writers left beside the file, looked at under the lock (then no writer of ours is
// at work on it). Temporaries of a killed writer hold only what it wrote: they go after a write
// that is done. A kept copy goes only when it holds what its name vouches for (what its writer
// read, or wrote), when it is a second name of the file itself, or when it is the very file this
// write read, unchanged (a link whose writer was killed before its rename, which this write's
// rename then displaced); the others stay. True when some stay.
bool SweepBeside(FileSystem& fs, const WriterLock& lock, const NativePath& target,
                 const FileIdentity& file, bool done) {
  const std::size_t name_start = NameStart(target);
  const NativePath name = target.substr(name_start);
  bool kept = false;
  for (const NativePath& candidate : lock.RemovableFiles(target, Native(".") + name, file)) {
    if (done && IsTemporaryFileName(name, candidate)) {
      lock.RemoveBeside(target, candidate);
      continue;
    }
    if (KeptFileHashes(name, candidate, KeptKind::kJournal)) {
      kept = true;  // settled only before a write reads the file (RecoverBeside)
      continue;
    }
    const std::optional<KeptHashes> hashes = KeptFileHashes(name, candidate);
    if (!hashes) {
      continue;
    }
    const NativePath path = target.substr(0, name_start) + candidate;
    std::string content;
    FileIdentity identity;
    FileIdentity now;
    SystemError error = 0;
    const bool redundant =
        ReadStable(fs, path, false, content, identity, error) == ReadResult::kOk &&
        (ContentHash(content) == hashes->read || ContentHash(content) == hashes->written ||
         (done && SameContent(file, identity)) ||
         (fs.IdentityAt(target, now) && SameObject(identity, now)));
    if (redundant) {
      lock.RemoveBeside(target, candidate);
    } else {
      kept = true;
    }
  }
  return kept;
}

// A journal's two parts, what its writer read and what it wrote, told apart by the hashes its
// name vouches for; nothing when they do not match (a journal cut short by a crash).
std::optional<std::pair<std::string_view, std::string_view>> SplitJournal(
    std::string_view journal, const KeptHashes& hashes) {
  std::uint64_t prefix = ContentHash({});
  for (std::size_t at = 0;; ++at) {
    if (prefix == hashes.read && ContentHash(journal.substr(at)) == hashes.written) {
      return std::pair(journal.substr(0, at), journal.substr(at));
    }
    if (at == journal.size()) {
      return std::nullopt;
    }
    prefix = ContentHash(journal.substr(at, 1), prefix);
  }
}

// Whether `now` is what a write of `written` over `read`, in place, may leave when cut short:
// each byte one of theirs at that place (or a zero where the file grew), the length of either.
bool PartlyWritten(std::string_view now, std::string_view read, std::string_view written) {
  if (now.size() != read.size() && now.size() != written.size()) {
    return false;
  }
  const auto at = [](std::string_view text, std::size_t i) {
    return i < text.size() ? text[i] : '\0';
  };
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (now[i] != at(read, i) && now[i] != at(written, i)) {
      return false;
    }
  }
  return true;
}

// What the store keeps of a file that may be someone else's: a copy under a kept name whose
// hashes vouch for `written` alone (never for `content`), so that no sweep takes it.
bool KeepCopy(FileSystem& fs, const NativePath& target, const std::string& content,
              const FileIdentity& original, std::uint64_t written, std::mt19937& random) {
  NativePath temp;
  if (WriteBeside(fs, target, content, original, random, temp) != 0) {
    return false;
  }
  if (fs.Rename(temp, KeptNameBeside(target, {written, written}, random), RenameMode::kNoReplace) !=
      0) {
    fs.RemoveFile(temp);
    return false;
  }
  return true;
}

// A journal left beside the file: its write was cut short. It goes when the file holds what that
// write read or wrote, or when the journal itself is incomplete, and the write is rolled back
// when the file holds a mix of the two (a crash halfway). A file that someone wrote since, from
// what they found there, stays as it is: after a kill they found a whole file, since nothing but
// a power loss tears one; after a power loss they may have found it torn, and what the cut-short
// write read stays beside the file as a kept copy. True when the journal is gone.
bool SettleJournal(FileSystem& fs, const NativePath& target, const NativePath& path,
                   const KeptHashes& hashes, std::mt19937& random) {
  std::string journal;
  std::string now;
  FileIdentity journal_identity;
  FileIdentity now_identity;
  SystemError error = 0;
  if (ReadStable(fs, path, false, journal, journal_identity, error) != ReadResult::kOk ||
      ReadStable(fs, target, false, now, now_identity, error) != ReadResult::kOk) {
    return false;
  }
  // One that does not hold what its name vouches for was cut short before it was flushed, and
  // so before its writer touched the file.
  const auto parts = SplitJournal(journal, hashes);
  WriteFailure why = WriteFailure::kNone;
  const bool settled = !parts || now == parts->first || now == parts->second ||
                       (PartlyWritten(now, parts->first, parts->second)
                            ? WriteInPlace(fs, target, std::string(parts->first), now_identity, why,
                                           &now) == StepOutcome::kDone
                            : journal_identity.written_ms >= fs.BootedAtMs() ||
                                  KeepCopy(fs, target, std::string(parts->first), now_identity,
                                           hashes.written, random));
  if (settled) {
    fs.RemoveFile(path);
  }
  return settled;
}

// Settles the journals that writes cut short left beside the file, under the lock, before it is
// read; those that stay are reported as kept copies (SweepBeside).
void RecoverBeside(FileSystem& fs, const WriterLock& lock, const NativePath& target,
                   std::mt19937& random) {
  const std::size_t name_start = NameStart(target);
  const NativePath name = target.substr(name_start);
  FileIdentity file;
  fs.IdentityAt(target, file);
  for (const NativePath& candidate : lock.RemovableFiles(target, Native(".") + name, file)) {
    if (const std::optional<KeptHashes> hashes =
            KeptFileHashes(name, candidate, KeptKind::kJournal)) {
      SettleJournal(fs, target, target.substr(0, name_start) + candidate, *hashes, random);
    }
  }
}

// Where no exchange is to be had (Windows): the file is written in place, as the profile
// functions write it, never renamed over while it exists, so that a write of the driver's in
// the instant before ours is found by the last look, and one during ours is refused, not undone.
// The journal beside it, written and flushed first, holds the old content and the new: a crash
// halfway is rolled back by the next write. Where the folder refuses new files there is no
// journal, as with the profile functions.
StepOutcome WriteAlone(FileSystem& fs, const NativePath& target, const std::string& read_content,
                       const std::string& content, const FileIdentity& read_identity,
                       const KeptHashes& hashes, std::mt19937& random, WriteFailure& why,
                       bool& others) {
  NativePath journal;
  SystemError error =
      WriteBeside(fs, target, read_content + content, read_identity, random, journal);
  if (error == 0) {
    // Renamed to its name with the rename's write-through, which makes its entry in the folder
    // last as well: only a journal on disk may come before a change to the file.
    const NativePath temp = std::move(journal);
    const std::size_t name_start = NameStart(target);
    journal = target.substr(0, name_start) +
              KeptFileName(target.substr(name_start), hashes, random, KeptKind::kJournal);
    error = fs.Rename(temp, journal, RenameMode::kNoReplace);
    if (error != 0) {
      fs.RemoveFile(temp);
      why = FailureOf(fs, error);
      return StepOutcome::kFailed;
    }
  } else if (!IsRefused(fs, error)) {
    why = FailureOf(fs, error);
    return StepOutcome::kFailed;
  }
  const StepOutcome outcome =
      WriteInPlace(fs, target, content, read_identity, why, &read_content, &others);
  // A write that failed may have left the file in need of its journal, which settles it now if
  // it can (or the next write does); any other is done with it.
  if (outcome == StepOutcome::kFailed && !journal.empty()) {
    SettleJournal(fs, target, journal, hashes, random);
  } else if (!journal.empty()) {
    fs.RemoveFile(journal);
  }
  return outcome;
}

// Whether the file had been written shortly before our write replaced it: a writer is at work.
// Asked only where no exchange is to be had, that is where the profile functions are the
// writers beside us: they read and write the file in separate opens, so a write of theirs that
// read before our rename leaves no other trace. A write time tells no writer from another, and an
// earlier run of ours counts too; where an exchange shows what it displaced, back-to-back runs
// of ours do not pay for a confirmation.
bool WrittenShortlyBefore(FileSystem& fs, const NativePath& target, const FileIdentity& read) {
  FileIdentity now;
  return !fs.CanExchange() && read.exists && fs.IdentityAt(target, now) && now.exists &&
         now.written_ms - read.written_ms < kRecentWriteMs;
}

// `edited` tells what the edit did, `kept` whether copies stay kept beside the file after a step
// that is done, `others` whether another program showed itself: it held the file, or had written
// it just before.
StepOutcome UpdateStep(FileSystem& fs, const NativePath& target, const FileEdit& edit,
                       const WriterLock& lock, std::mt19937& random, WriteFailure& why,
                       EditResult& edited, bool& kept, bool& others) {
  std::string content;
  FileIdentity read_identity;
  SystemError read_error = 0;
  bool kept_changing = false;
  if (ReadStable(fs, target, false, content, read_identity, read_error, &kept_changing) ==
      ReadResult::kFailed) {
    why = kept_changing ? WriteFailure::kKeptChanging : FailureOf(fs, read_error);
    return StepOutcome::kFailed;
  }
  why = WriteFailure::kOther;
  const std::uint64_t read_hash = ContentHash(content);
  // Written in place where no exchange is to be had: what was read goes into the journal.
  const bool alone = !fs.CanExchange() && read_identity.exists;
  const std::string read_content = alone ? content : std::string();
  edited = edit(content);
  if (edited == EditResult::kFailed) {
    return StepOutcome::kFailed;
  }
  // What was read and what is written, hashed once each (a big file's hash costs). An edit that
  // leaves the content as it was writes nothing.
  const KeptHashes hashes{read_hash, edited == EditResult::kChanged ? ContentHash(content) : 0};
  if (edited == EditResult::kChanged && read_identity.exists &&
      content.size() == read_identity.size && hashes.written == read_hash) {
    edited = EditResult::kUnchanged;
  }
  NativePath temp_path;
  bool in_place = false;
  if (edited == EditResult::kChanged) {
    if (!fs.MayReplace(target, read_identity)) {
      why = WriteFailure::kNoPermission;
      return StepOutcome::kFailed;
    }
    if (alone) {
      const StepOutcome written =
          WriteAlone(fs, target, read_content, content, read_identity, hashes, random, why, others);
      if (written != StepOutcome::kDone) {
        return written;
      }
      others = others || WrittenShortlyBefore(fs, target, read_identity);
      kept = lock.held() && SweepBeside(fs, lock, target, read_identity, true);
      return StepOutcome::kDone;
    }
    const SystemError error = WriteBeside(fs, target, content, read_identity, random, temp_path);
    // A folder that refuses new files, around a file that may be written: as the driver writes it.
    in_place = IsRefused(fs, error) && read_identity.exists;
    if (error != 0 && !in_place) {
      why = FailureOf(fs, error);
      return StepOutcome::kFailed;
    }
  }
  FileIdentity now;
  if (!fs.IdentityAt(target, now) || !SameFile(read_identity, now)) {
    if (!temp_path.empty()) {
      fs.RemoveFile(temp_path);
    }
    return StepOutcome::kRaced;
  }
  if (in_place) {
    const StepOutcome written = WriteInPlace(fs, target, content, read_identity, why);
    others = others || WrittenShortlyBefore(fs, target, read_identity);
    return written;
  }
  if (!temp_path.empty()) {
    const StepOutcome installed =
        Install(fs, temp_path, target, content, read_identity, hashes, random, why, others);
    if (installed != StepOutcome::kDone) {
      return installed;
    }
    others = others || WrittenShortlyBefore(fs, target, read_identity);
    // Replaced, but not yet for certain on disk: a crash now could bring the old file back.
    if (const SystemError error = lock.SyncFolder()) {
      why = FailureOf(fs, error);
      return StepOutcome::kFailed;
    }
  }
  kept = lock.held() && SweepBeside(fs, lock, target, read_identity, true);
  return StepOutcome::kDone;
}

// Names that two writers at the same instant do not share; a bare chroot has no random device,
// but the clock still differs (and a name taken is never reused: the next one is tried).
std::mt19937 SeededRandom() {
  std::uint32_t device_bits = 0;
  try {
    device_bits = std::random_device()();
  } catch (...) {
  }
  const auto now =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::seed_seq seed{device_bits, static_cast<std::uint32_t>(now),
                     static_cast<std::uint32_t>(now >> 32)};
  return std::mt19937(seed);
}

}  // namespace

bool FileHandle::Close() {
  const std::intptr_t native = std::exchange(native_, kInvalid);
  return native == kInvalid || (owner_ != nullptr ? *owner_ : RealFileSystem()).CloseNative(native);
}

SystemError FileSystem::WriteAll(const FileHandle& file, const std::string& content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    SystemError error = 0;
    const std::int64_t n = WriteSome(file, data, left, error);
    if (n <= 0) {
      return error != 0 ? error : kUnknownError;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

namespace {

NativePath NameWithTag(const NativePath& file_name, std::string_view tag, std::mt19937& random) {
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  NativePath name = Native(".") + file_name + Native(tag);
  for (std::size_t i = 0; i < kUniqueLength; ++i) {
    name += static_cast<NativeChar>(kLetters[pick(random)]);
  }
  return name;
}

bool IsNameWithTag(std::basic_string_view<NativeChar> file_name, std::string_view tag,
                   std::basic_string_view<NativeChar> candidate) {
  const std::size_t prefix = 1 + file_name.size() + tag.size();
  if (file_name.empty() || candidate.size() != prefix + kUniqueLength ||
      candidate.substr(0, prefix) != Native(".") + NativePath(file_name) + Native(tag)) {
    return false;
  }
  return std::all_of(candidate.begin() + prefix, candidate.end(), [](NativeChar c) {
    return (c & ~0x7F) == 0 && kLetters.find(static_cast<char>(c)) != std::string_view::npos;
  });
}

}  // namespace

NativePath TemporaryFileName(const NativePath& file_name, std::mt19937& random) {
  return NameWithTag(file_name, kTemporaryTag, random);
}

bool IsTemporaryFileName(std::basic_string_view<NativeChar> file_name,
                         std::basic_string_view<NativeChar> candidate) {
  return IsNameWithTag(file_name, kTemporaryTag, candidate);
}

std::uint64_t ContentHash(std::string_view content, std::uint64_t hash) {
  for (const char c : content) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
  }
  return hash;
}

NativePath KeptFileName(const NativePath& file_name, const KeptHashes& hashes, std::mt19937& random,
                        KeptKind kind) {
  NativePath name =
      NameWithTag(file_name, kind == KeptKind::kJournal ? kJournalTag : kKeptTag, random);
  for (const std::uint64_t hash : {hashes.read, hashes.written}) {
    name += static_cast<NativeChar>('-');
    for (int shift = 60; shift >= 0; shift -= 4) {
      name += static_cast<NativeChar>(kHexDigits[(hash >> shift) & 0xF]);
    }
  }
  return name;
}

std::optional<KeptHashes> KeptFileHashes(std::basic_string_view<NativeChar> file_name,
                                         std::basic_string_view<NativeChar> candidate,
                                         KeptKind kind) {
  const std::string_view tag = kind == KeptKind::kJournal ? kJournalTag : kKeptTag;
  const std::size_t head = 1 + file_name.size() + tag.size() + kUniqueLength;
  constexpr std::size_t kHashLength = 1 + 16;
  if (candidate.size() != head + 2 * kHashLength ||
      !IsNameWithTag(file_name, tag, candidate.substr(0, head))) {
    return std::nullopt;
  }
  std::uint64_t values[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    const auto hash = candidate.substr(head + i * kHashLength, kHashLength);
    if (hash[0] != '-') {
      return std::nullopt;
    }
    for (const NativeChar c : hash.substr(1)) {
      const std::size_t digit =
          (c & ~0x7F) == 0 ? kHexDigits.find(static_cast<char>(c)) : std::string_view::npos;
      if (digit == std::string_view::npos) {
        return std::nullopt;
      }
      values[i] = values[i] << 4 | digit;
    }
  }
  return KeptHashes{values[0], values[1]};
}

ReadResult ReadWholeFile(const std::string& path, std::string& content, FileSystem& fs) {
  FileIdentity identity;
  SystemError error = 0;
  return ReadStable(fs, fs.NativeFromPath(path), true, content, identity, error);
}

WriteResult UpdateWholeFile(const std::string& path, const FileEdit& edit,
                            std::chrono::milliseconds lock_wait, FileSystem& fs) {
  const NativePath native = fs.NativeFromPath(path);
  const NativePath target = native.empty() ? NativePath() : fs.ReplacementTarget(native);
  if (target.empty()) {
    return {WriteFailure::kOther};
  }
  const std::unique_ptr<WriterLock> lock = fs.LockFor(target);
  const LockState lock_state = lock->Acquire(lock_wait);
  if (lock_state == LockState::kTimedOut || lock_state == LockState::kFailed) {
    return {lock_state == LockState::kTimedOut ? WriteFailure::kHeldOpen : WriteFailure::kOther};
  }
  std::mt19937 random = SeededRandom();
  WriteFailure why = WriteFailure::kKeptChanging;
  bool kept = false;
  // Where writes go in place, one a crash cut short is rolled back before the file is read.
  if (!fs.CanExchange() && lock->held()) {
    RecoverBeside(fs, *lock, target, random);
  }
  // Whether another writer showed itself during this write: then the write is confirmed.
  bool others = false;
  EditResult edited = EditResult::kUnchanged;
  const auto give_up_at = std::chrono::steady_clock::now() + kUpdatePatience;
  for (int attempt = 0; attempt < kUpdateAttempts || std::chrono::steady_clock::now() < give_up_at;
       ++attempt) {
    const StepOutcome outcome =
        UpdateStep(fs, target, edit, *lock, random, why, edited, kept, others);
    others = others || outcome == StepOutcome::kRaced;
    if (outcome == StepOutcome::kFailed) {
      break;
    }
    // Done, and confirmed when the edit, a moment later, finds nothing left to do.
    if (outcome == StepOutcome::kDone && (!others || edited == EditResult::kUnchanged)) {
      return {WriteFailure::kNone, kept};
    }
    if (outcome == StepOutcome::kDone) {
      fs.Pause(kConfirmAfter);
    }
    why = WriteFailure::kKeptChanging;
  }
  kept = lock->held() && SweepBeside(fs, *lock, target, FileIdentity{}, false);
  return {why, kept};
}

}  // namespace store

bool IsExistingFile(const std::string& path) {
  store::FileSystem& fs = store::RealFileSystem();
  const store::NativePath native = fs.NativeFromPath(path);
  return !native.empty() && fs.IsPlainFileAt(native);
}

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
  return store::ReadWholeFile(path, content, store::RealFileSystem());
}

WriteResult UpdateWholeFile(const std::string& path, const FileEdit& edit,
                            std::chrono::milliseconds lock_wait) {
  return store::UpdateWholeFile(path, edit, lock_wait, store::RealFileSystem());
}

}  // namespace ventrel
