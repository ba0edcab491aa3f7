// A file system in memory beneath the store, after SQLite's crash layer: each primitive is a step
// that a test can step into (to line up a race at that very step) or lose power after. What was
// not flushed when the power went may be lost, kept or kept in part; a folder's entries not
// flushed since may be undone; what was flushed survives.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "utility/store/primitives.h"

namespace ventrel::test {

// The fake's own system errors.
enum FakeError : store::SystemError {
  kNoEntry = 1,
  kExists,
  kInUse,
  kDenied,
  kUnsupported,
  kPowerLost,
};

enum class FakeStep {
  kOpen,
  kIdentity,
  kRead,
  kWrite,
  kCreate,
  kFlush,
  kTruncate,
  kRemove,
  kRename,
  kLink,
  kWait,  // for a program that holds the file open
  kLock,
  kSyncFolder,
  kList
};

struct FakeCall {
  FakeStep step;
  store::NativePath path;
  store::RenameMode mode = store::RenameMode::kReplace;
};

// How another program shares a file it holds open.
enum class Sharing { kNothing, kReading, kReadingAndWriting };

class FakeFileSystem final : public store::FileSystem {
 public:
  // The system whose choices the fake makes.
  struct Choices {
    bool windows = false;           // no exchange, renames that write through, waits while in use
    bool exchange = true;           // Linux: renameat2's exchange
    bool locks = true;              // a lock to give
    bool refuse_new_files = false;  // the folder lets files be written but no new one made
    bool flush_temporaries = true;  // false: the fault of a store that forgets to flush
    bool hard_links = true;         // false: FAT, many network shares
  };
  explicit FakeFileSystem(Choices choices);

  // What other programs do, between the steps: no step counted, nothing left unflushed.
  void MakeFolder(const std::string& folder);
  // Over the file, in place; `keep_time`: within FAT's two-second grain of write times. Refused
  // (and counted) while a writer of ours holds the file open for writing on Windows, which shares
  // only reading.
  void Put(const std::string& path, const std::string& content, bool keep_time = false);
  void Replace(const std::string& path, const std::string& content);  // a new file renamed over
  void Remove(const std::string& path);
  void SetReadOnly(const std::string& path);
  // Another program holds the file open: the next `refusals` attempts to rename over it (and,
  // where it does not share the kind, to open it) are refused.
  void SetInUse(const std::string& path, int refusals, Sharing sharing);
  // Another writer of ours holds the folder's lock; a killed one's goes with it.
  void HoldLock(const std::string& folder);
  void KillLockHolder(const std::string& folder);

  // The file's content; "<missing>" when there is none. The folder's names, sorted, blank-joined.
  std::string Content(const std::string& path) const;
  std::string List(const std::string& folder) const;

  // Called before each step, while the power is on.
  std::function<void(const FakeCall&)> before;
  // A step for which it says true fails, the power still on: a look the system refused.
  std::function<bool(const FakeCall&)> fails;
  // Called when a writer finds the lock taken; it may let go of it.
  std::function<void()> on_lock_wait;

  int steps() const { return steps_; }
  int refused_puts() const { return refused_puts_; }
  // The power goes after `steps` more steps: every later one fails, and changes nothing.
  void CutAfter(int steps) { cut_at_ = steps_ + steps; }
  // Each disk that a power loss now can leave, rebooted: flushed, unlocked, nothing held open.
  std::vector<FakeFileSystem> StatesAfterPowerLoss() const;

  store::ErrorMeaning Meaning(store::SystemError error) const override;
  bool CanExchange() const override { return !choices_.windows; }
  store::NativePath NativeFromPath(const std::string& path) override;
  store::NativePath ReplacementTarget(const store::NativePath& path) override { return path; }
  bool IsPlainFileAt(const store::NativePath& path) override;
  store::FileHandle OpenForReading(const store::NativePath& path, bool follow_link,
                                   store::SystemError& error) override;
  store::FileHandle OpenForWriting(const store::NativePath& path,
                                   store::SystemError& error) override;
  bool CloseNative(std::intptr_t native) override;
  bool IdentityOf(const store::FileHandle& file, store::FileIdentity& identity) override;
  bool IdentityAt(const store::NativePath& path, store::FileIdentity& identity) override;
  std::int64_t ReadSome(const store::FileHandle& file, char* buffer, std::size_t size,
                        store::SystemError& error) override;
  std::int64_t WriteSome(const store::FileHandle& file, const char* data, std::size_t size,
                         store::SystemError& error) override;
  void PrepareToFill(std::string&) override {}
  bool MayReplace(const store::NativePath& target, const store::FileIdentity& original) override;
  store::SystemError WriteTemporary(const store::NativePath& temp_path,
                                    const store::NativePath& target, const std::string& content,
                                    const store::FileIdentity& original) override;
  store::SystemError Overwrite(const store::FileHandle& file, const std::string& content,
                               const store::FileIdentity& now) override;
  store::SystemError Flush(const store::NativePath& path) override;
  void RemoveFile(const store::NativePath& path) override;
  store::SystemError Rename(const store::NativePath& from, const store::NativePath& to,
                            store::RenameMode mode) override;
  // The look, then the rename as its own step: a race lined up before that step lands after the
  // look.
  store::SystemError ReplaceIfUnchanged(const store::NativePath& from, const store::NativePath& to,
                                        const std::function<bool()>& unchanged) override {
    return unchanged() ? Rename(from, to, store::RenameMode::kReplace) : store::kChangedMeanwhile;
  }
  store::SystemError LinkBeside(const store::NativePath& target,
                                const store::NativePath& link) override;
  std::int64_t BootedAtMs() override { return booted_ms_; }
  void Pause(std::chrono::milliseconds) override { Step(FakeStep::kWait, {}); }
  std::unique_ptr<store::WriterLock> LockFor(const store::NativePath& target) override;

 private:
  friend class FakeLock;
  struct Inode {
    std::string data;
    std::string durable;  // what survives a power loss for certain
    bool read_only = false;
    int refusals = 0;
    Sharing sharing = Sharing::kReadingAndWriting;
    std::int64_t write_time = 0;
    std::int64_t change_time = 0;
    int writers = 0;  // handles of ours open for writing
  };
  // A change to a folder's entries, kept until the folder is flushed.
  struct Op {
    enum Kind { kLink, kUnlink, kRename, kExchange } kind;
    store::NativePath a;
    store::NativePath b;
    int inode = 0;
  };
  struct Folder {
    std::map<store::NativePath, int> entries;
    std::map<store::NativePath, int> durable;
    std::vector<Op> pending;
    int lock_holder = 0;
  };
  struct Open {
    int inode = 0;
    std::size_t position = 0;
    bool writing = false;
  };

  bool Step(FakeStep step, const store::NativePath& path,
            store::RenameMode mode = store::RenameMode::kReplace);
  Folder* FolderOf(const store::NativePath& path);
  const Folder* FolderOf(const store::NativePath& path) const;
  int InodeAt(const store::NativePath& path) const;  // 0: none
  void Apply(Folder& folder, const Op& op);
  void Touch(Inode& inode) { inode.write_time = inode.change_time = ++clock_; }
  int Create(const store::NativePath& path, const std::string& content);

  Choices choices_;
  std::map<store::NativePath, Folder> folders_;
  std::map<int, Inode> inodes_;
  std::map<std::intptr_t, Open> open_;
  int next_inode_ = 1;
  std::intptr_t next_handle_ = 1;
  int next_writer_ = 1;
  std::int64_t clock_ = 0;
  int steps_ = 0;
  int cut_at_ = -1;
  bool dead_ = false;
  int refused_puts_ = 0;
  std::int64_t booted_ms_ = 0;  // in written_ms's clock
};

// Sectors of a file's unflushed bytes that a power loss keeps or loses apart.
inline constexpr std::size_t kFakeSector = 512;

}  // namespace ventrel::test
