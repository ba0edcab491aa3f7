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
// flushes a temporary), so a write gets this many, a tenth of a second or so.
constexpr int kUpdateAttempts = 20;
// Tries at a temporary name before giving up: a clash of six random letters is already rare.
constexpr int kNameAttempts = 16;

constexpr std::string_view kTemporaryTag = ".vctmp-";
constexpr std::size_t kUniqueLength = 6;
constexpr std::string_view kLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// For a failure the system gave no code for.
constexpr SystemError kUnknownError = ~SystemError{0};

enum class StepOutcome { kDone, kFailed, kRaced };

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
  const FileHandle file = path.empty() ? FileHandle() : fs.OpenForReading(path, follow_link, error);
  if (!file.valid()) {
    return path.empty() || fs.IsMissing(error) ? ReadResult::kMissing : ReadResult::kFailed;
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

// The profile functions' way, for a file another program holds open or a folder that refuses
// new files: the content goes over the file itself. Not atomic (a crash halfway leaves a torn
// file), so only the fallback.
StepOutcome WriteInPlace(FileSystem& fs, const NativePath& target, const std::string& content,
                         const FileIdentity& read_identity, WriteFailure& why) {
  SystemError error = 0;
  const FileHandle file = fs.OpenForWriting(target, error);
  if (!file.valid()) {
    why = fs.FailureOf(error);
    return fs.IsMissing(error) ? StepOutcome::kRaced : StepOutcome::kFailed;
  }
  FileIdentity now;
  if (!fs.IdentityOf(file, now) || !SameFile(read_identity, now)) {
    return StepOutcome::kRaced;
  }
  error = fs.Overwrite(file, content, now);
  why = fs.FailureOf(error);
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
    if (error != 0 && !fs.IsExisting(error)) {
      break;
    }
  }
  if (error != 0) {
    temp_path.clear();
  }
  return error;
}

// After an atomic exchange: what came out under the temporary's name must be what we read. If
// it is not, someone's rename was still under way in the kernel when we checked (on ext4 one can
// wait milliseconds for the journal our flush commits): theirs goes back and the step starts
// again.
StepOutcome SettleExchange(FileSystem& fs, const NativePath& temp_path, const NativePath& target,
                           const FileIdentity& read_identity, const FileIdentity& ours) {
  FileIdentity displaced;
  if (fs.IdentityAt(temp_path, displaced) && SameContent(read_identity, displaced)) {
    fs.RemoveFile(temp_path);
    return StepOutcome::kDone;
  }
  // Should yet another writer have replaced ours meanwhile, the exchange back brings out their
  // newer file instead: one more puts it back in place, and the older one goes, as their own
  // rename would have let it go. Should the file's name have been removed meanwhile, what the
  // temporary's name holds is someone's only copy: it goes back without replacing anything, and
  // is never removed.
  for (int exchange = 0; exchange < 2; ++exchange) {
    if (const SystemError error = fs.Rename(temp_path, target, RenameMode::kExchange)) {
      if (fs.IsMissing(error) && fs.Rename(temp_path, target, RenameMode::kNoReplace) == 0) {
        return StepOutcome::kRaced;
      }
      FileIdentity left;
      if (!fs.IdentityAt(temp_path, left) || !SameObject(left, ours)) {
        return StepOutcome::kFailed;  // theirs stays under the temporary's name
      }
      break;
    }
    FileIdentity out;
    if (!fs.IdentityAt(temp_path, out) || !out.exists || SameObject(out, ours)) {
      break;
    }
  }
  fs.RemoveFile(temp_path);
  return StepOutcome::kRaced;
}

// Renames `from` over `to` while `to` is still the file `expected` describes, looked at just
// before each attempt (after `before_each`). Windows refuses while another program holds `to`
// open: we wait for it to let go, since the holder may be writing it (the driver does, through
// the profile functions), and a rename after that write without a look would undo it. kRaced
// when `to` changed.
StepOutcome RenameOver(FileSystem& fs, const NativePath& from, const NativePath& to,
                       const FileIdentity& expected, SystemError& error,
                       const std::function<void()>& before_each = nullptr) {
  const auto unchanged = [&] {
    FileIdentity now;
    return fs.IdentityAt(to, now) && SameContent(expected, now);
  };
  for (int attempt = 1;; ++attempt) {
    if (before_each) {
      before_each();
    }
    error = fs.ReplaceIfUnchanged(from, to, unchanged);
    if (error == 0 || error == kChangedMeanwhile) {
      return error == 0 ? StepOutcome::kDone : StepOutcome::kRaced;
    }
    if (!fs.IsRefused(error) || !fs.WaitForHolder(attempt)) {
      return StepOutcome::kFailed;
    }
  }
}

// Where no exchange is to be had, the file we replace keeps a second name through the rename:
// a program that writes without our lock and wrote between our last look and our rename would
// otherwise lose that write without a word. Empty when no link could be made; the rename then
// goes on unwatched.
NativePath LinkOriginal(FileSystem& fs, const NativePath& target, std::mt19937& random) {
  const std::size_t name_start = NameStart(target);
  const NativePath name = target.substr(name_start);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    NativePath link = target.substr(0, name_start) + TemporaryFileName(name, random);
    const SystemError error = fs.LinkBeside(target, link);
    if (error == 0) {
      return link;
    }
    if (!fs.IsExisting(error)) {
      break;
    }
  }
  return {};
}

// After a rename over the file: the link names the file we displaced, which must be the one we
// read. If it is not, someone wrote it after our last look: their file goes back in place and the
// step starts again from it, so that their write is edited, not undone. Should they have written
// ours too by then, that write of theirs, made on ours, stands. Should theirs not go back, their
// content goes over ours in place; should that fail too, the write is reported as failed and
// theirs stays under the link's name.
StepOutcome SettleReplacement(FileSystem& fs, const NativePath& link, const NativePath& target,
                              const FileIdentity& read_identity, const FileIdentity& ours,
                              WriteFailure& why) {
  FileIdentity displaced;
  if (!fs.IdentityAt(link, displaced) || SameContent(read_identity, displaced)) {
    fs.RemoveFile(link);
    return StepOutcome::kDone;
  }
  SystemError error = 0;
  if (RenameOver(fs, link, target, ours, error) != StepOutcome::kFailed) {
    fs.RemoveFile(link);  // gone already, unless they wrote ours meanwhile
    return StepOutcome::kRaced;
  }
  why = fs.FailureOf(error);
  std::string theirs;
  FileIdentity theirs_identity;
  FileIdentity now;
  SystemError read_error = 0;
  if (fs.IsRefused(error) && fs.IdentityAt(target, now) && SameContent(ours, now) &&
      ReadStable(fs, link, false, theirs, theirs_identity, read_error) == ReadResult::kOk &&
      WriteInPlace(fs, target, theirs, now, why) == StepOutcome::kDone) {
    fs.RemoveFile(link);
    return StepOutcome::kRaced;
  }
  return StepOutcome::kFailed;
}

// The temporary renamed over the file, watched through a link where the file system gives one.
// No link is made while another program holds the file without sharing its deletion: the rename
// is refused then anyway, and the link's name could not go while it is held; it is tried again
// before each attempt. On kFailed with `error` set the rename itself failed and the temporary is
// still there; on kRaced it is gone.
StepOutcome ReplaceWatched(FileSystem& fs, const NativePath& temp_path, const NativePath& target,
                           const FileIdentity& read_identity, std::mt19937& random,
                           SystemError& error, WriteFailure& why) {
  FileIdentity ours;
  const bool watched = fs.IdentityAt(temp_path, ours) && ours.exists;
  NativePath link;
  const StepOutcome renamed = RenameOver(fs, temp_path, target, read_identity, error, [&] {
    if (watched && link.empty()) {
      link = LinkOriginal(fs, target, random);
    }
  });
  if (renamed == StepOutcome::kDone) {
    return link.empty() ? StepOutcome::kDone
                        : SettleReplacement(fs, link, target, read_identity, ours, why);
  }
  if (!link.empty()) {
    fs.RemoveFile(link);
  }
  if (renamed == StepOutcome::kRaced) {
    fs.RemoveFile(temp_path);
  }
  return renamed;
}

// Puts the temporary file in the file's place: atomic, so that the driver finds the old file or
// the new one and never none. A new file never replaces one that appeared meanwhile; an existing
// one is exchanged where the system can, renamed over otherwise.
StepOutcome Install(FileSystem& fs, const NativePath& temp_path, const NativePath& target,
                    const std::string& content, const FileIdentity& read_identity,
                    std::mt19937& random, WriteFailure& why) {
  RenameMode mode = read_identity.exists ? RenameMode::kReplace : RenameMode::kNoReplace;
  SystemError error = 0;
  if (read_identity.exists && fs.CanExchange()) {
    FileIdentity ours;
    if (!fs.IdentityAt(temp_path, ours) || !ours.exists) {
      return StepOutcome::kFailed;
    }
    error = fs.Rename(temp_path, target, RenameMode::kExchange);
    if (error == 0) {
      return SettleExchange(fs, temp_path, target, read_identity, ours);
    }
    mode = fs.IsUnsupported(error) ? RenameMode::kReplace : RenameMode::kExchange;
  }
  if (mode == RenameMode::kReplace) {
    const StepOutcome replaced =
        ReplaceWatched(fs, temp_path, target, read_identity, random, error, why);
    if (replaced != StepOutcome::kFailed || error == 0) {
      return replaced;
    }
  } else if (mode == RenameMode::kNoReplace) {
    error = fs.Rename(temp_path, target, mode);
    if (error == 0) {
      return StepOutcome::kDone;
    }
  }
  fs.RemoveFile(temp_path);
  why = fs.FailureOf(error);
  // Refused while another program holds the file open, or over a mount point: written in place,
  // as the driver would.
  if (mode != RenameMode::kNoReplace && fs.IsRefused(error)) {
    return WriteInPlace(fs, target, content, read_identity, why);
  }
  return fs.IsExisting(error) || fs.IsMissing(error) ? StepOutcome::kRaced : StepOutcome::kFailed;
}

// Temporaries of a writer that was killed. Safe only under the lock: then no writer of ours is
// writing one for this file.
void RemoveLeftovers(const WriterLock& lock, const NativePath& target, const FileIdentity& file) {
  const NativePath name = target.substr(NameStart(target));
  const NativePath prefix = Native(".") + name + Native(kTemporaryTag);
  for (const NativePath& candidate : lock.RemovableFiles(target, prefix, file)) {
    if (IsTemporaryFileName(name, candidate)) {
      lock.RemoveBeside(target, candidate);
    }
  }
}

// One read-edit-replace under the lock. kRaced when the file changed behind our back.
StepOutcome UpdateStep(FileSystem& fs, const NativePath& target, const FileEdit& edit,
                       const WriterLock& lock, std::mt19937& random, WriteFailure& why) {
  std::string content;
  FileIdentity read_identity;
  SystemError read_error = 0;
  bool kept_changing = false;
  if (ReadStable(fs, target, false, content, read_identity, read_error, &kept_changing) ==
      ReadResult::kFailed) {
    why = kept_changing ? WriteFailure::kKeptChanging : fs.FailureOf(read_error);
    return StepOutcome::kFailed;
  }
  why = WriteFailure::kOther;
  const EditResult edited = edit(content);
  if (edited == EditResult::kFailed) {
    return StepOutcome::kFailed;
  }
  NativePath temp_path;
  bool in_place = false;
  if (edited == EditResult::kChanged) {
    if (!fs.MayReplace(target, read_identity)) {
      why = WriteFailure::kNoPermission;
      return StepOutcome::kFailed;
    }
    const SystemError error = WriteBeside(fs, target, content, read_identity, random, temp_path);
    // A folder that refuses new files, around a file that may be written: as the driver writes it.
    in_place = fs.IsRefused(error) && read_identity.exists;
    if (error != 0 && !in_place) {
      why = fs.FailureOf(error);
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
    return WriteInPlace(fs, target, content, read_identity, why);
  }
  if (!temp_path.empty()) {
    const StepOutcome installed =
        Install(fs, temp_path, target, content, read_identity, random, why);
    if (installed != StepOutcome::kDone) {
      return installed;
    }
    // Replaced, but not yet for certain on disk: a crash now could bring the old file back.
    if (const SystemError error = lock.SyncFolder()) {
      why = fs.FailureOf(error);
      return StepOutcome::kFailed;
    }
  }
  if (lock.held()) {
    RemoveLeftovers(lock, target, read_identity);
  }
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

NativePath TemporaryFileName(const NativePath& file_name, std::mt19937& random) {
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  NativePath name = Native(".") + file_name + Native(kTemporaryTag);
  for (std::size_t i = 0; i < kUniqueLength; ++i) {
    name += static_cast<NativeChar>(kLetters[pick(random)]);
  }
  return name;
}

bool IsTemporaryFileName(std::basic_string_view<NativeChar> file_name,
                         std::basic_string_view<NativeChar> candidate) {
  const std::size_t prefix = 1 + file_name.size() + kTemporaryTag.size();
  if (file_name.empty() || candidate.size() != prefix + kUniqueLength ||
      candidate.substr(0, prefix) != Native(".") + NativePath(file_name) + Native(kTemporaryTag)) {
    return false;
  }
  return std::all_of(candidate.begin() + prefix, candidate.end(), [](NativeChar c) {
    return (c & ~0x7F) == 0 && kLetters.find(static_cast<char>(c)) != std::string_view::npos;
  });
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
  WriteFailure why = WriteFailure::kOther;
  for (int attempt = 0; attempt < kUpdateAttempts; ++attempt) {
    const StepOutcome outcome = UpdateStep(fs, target, edit, *lock, random, why);
    if (outcome != StepOutcome::kRaced) {
      return {outcome == StepOutcome::kDone ? WriteFailure::kNone : why};
    }
  }
  return {WriteFailure::kKeptChanging};
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
