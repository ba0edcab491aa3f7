#include "support/fake_file_system.h"

#include <algorithm>
#include <set>

namespace ventrel::test {
namespace {

using store::NativePath;
using store::RenameMode;
using store::SystemError;

std::size_t NameStart(const NativePath& path) {
  const std::size_t separator = path.find_last_of(store::kSeparators);
  return separator == NativePath::npos ? 0 : separator + 1;
}

NativePath FolderPart(const NativePath& path) {
  const std::size_t start = NameStart(path);
  return start == 0 ? NativePath() : path.substr(0, start - 1);
}

NativePath NamePart(const NativePath& path) {
  return path.substr(NameStart(path));
}

NativePath Native(const std::string& text) {
  return NativePath(text.begin(), text.end());
}

template <typename Entries>
void Replay(Entries& entries, const auto& op) {
  using Op = std::decay_t<decltype(op)>;
  switch (op.kind) {
    case Op::kLink:
      entries[op.a] = op.inode;
      break;
    case Op::kUnlink:
      entries.erase(op.a);
      break;
    case Op::kRename:
      if (entries.contains(op.a)) {
        entries[op.b] = entries[op.a];
        entries.erase(op.a);
      }
      break;
    case Op::kExchange:
      if (entries.contains(op.a) && entries.contains(op.b)) {
        std::swap(entries[op.a], entries[op.b]);
      }
      break;
  }
}

// The contents a file can hold after a power loss: its flushed bytes, its latest ones, or each
// mix of their sectors, as a disk writes the sectors of one flush in any order.
std::vector<std::string> DataVariants(const std::string& durable, const std::string& data) {
  if (durable == data) {
    return {data};
  }
  const std::size_t length = std::max(durable.size(), data.size());
  auto padded = [length](std::string text) {
    text.resize(length, '\0');
    return text;
  };
  const std::string before = padded(durable);
  const std::string after = padded(data);
  std::vector<std::size_t> dirty;
  for (std::size_t at = 0; at < length; at += kFakeSector) {
    if (before.compare(at, kFakeSector, after, at, kFakeSector) != 0) {
      dirty.push_back(at);
    }
  }
  std::vector<unsigned> subsets;
  const std::size_t n = dirty.size();
  if (n <= 4) {
    for (unsigned mask = 1; mask + 1 < (1u << n); ++mask) {
      subsets.push_back(mask);
    }
  } else {
    for (std::size_t i = 0; i < 4; ++i) {
      subsets.push_back(1u << i);
      subsets.push_back(((1u << 4) - 1) & ~(1u << i));
    }
  }
  std::set<std::string> variants = {durable, data};
  const std::size_t last = (length - 1) / kFakeSector * kFakeSector;
  for (const unsigned mask : subsets) {
    std::string mix = before;
    bool has_last = false;
    for (std::size_t i = 0; i < n && i < 32; ++i) {
      if ((mask & (1u << i)) != 0) {
        mix.replace(dirty[i], kFakeSector, after, dirty[i], kFakeSector);
        has_last = has_last || dirty[i] == last;
      }
    }
    mix.resize(has_last ? data.size() : durable.size());
    variants.insert(mix);
  }
  return {variants.begin(), variants.end()};
}

}  // namespace

// Only a writer of ours takes it: the folder's lock holder.
class FakeLock final : public store::WriterLock {
 public:
  FakeLock(FakeFileSystem& fs, NativePath folder)
      : fs_(fs), folder_(std::move(folder)), id_(fs.next_writer_++) {}
  FakeLock(const FakeLock&) = delete;
  FakeLock& operator=(const FakeLock&) = delete;
  ~FakeLock() override {
    FakeFileSystem::Folder& folder = fs_.folders_[folder_];
    if (held_ && folder.lock_holder == id_) {
      folder.lock_holder = 0;
    }
  }
  store::LockState Acquire(std::chrono::milliseconds) override {
    if (!fs_.Step(FakeStep::kLock, folder_)) {
      return store::LockState::kFailed;
    }
    if (!fs_.choices_.locks) {
      return store::LockState::kNone;
    }
    FakeFileSystem::Folder& folder = fs_.folders_[folder_];
    if (folder.lock_holder != 0 && fs_.on_lock_wait) {
      fs_.on_lock_wait();
    }
    if (folder.lock_holder != 0) {
      return store::LockState::kTimedOut;
    }
    folder.lock_holder = id_;
    held_ = true;
    return store::LockState::kHeld;
  }
  bool held() const override { return held_; }
  SystemError SyncFolder() const override {
    if (!fs_.Step(FakeStep::kSyncFolder, folder_)) {
      return kPowerLost;
    }
    FakeFileSystem::Folder& folder = fs_.folders_[folder_];
    if (!fs_.choices_.windows) {
      folder.durable = folder.entries;
      folder.pending.clear();
    }
    return 0;
  }
  std::vector<NativePath> RemovableFiles(const NativePath&, const NativePath& prefix,
                                         const store::FileIdentity&) const override {
    std::vector<NativePath> names;
    if (fs_.Step(FakeStep::kList, folder_)) {
      for (const auto& [name, inode] : fs_.folders_[folder_].entries) {
        if (name.starts_with(prefix)) {
          names.push_back(name);
        }
      }
    }
    return names;
  }
  void RemoveBeside(const NativePath& target, const NativePath& name) const override {
    fs_.RemoveFile(FolderPart(target) + NativePath(1, '/') + name);
  }

 private:
  FakeFileSystem& fs_;
  NativePath folder_;
  int id_;
  bool held_ = false;
};

FakeFileSystem::FakeFileSystem(Choices choices) : choices_(choices) {
  if (choices_.windows) {
    choices_.exchange = false;
  }
}

bool FakeFileSystem::Step(FakeStep step, const NativePath& path, RenameMode mode) {
  if (dead_ || (cut_at_ >= 0 && steps_ >= cut_at_)) {
    dead_ = true;
    return false;
  }
  if (before) {
    before(FakeCall{step, path, mode});
  }
  ++steps_;
  return !fails || !fails(FakeCall{step, path, mode});
}

FakeFileSystem::Folder* FakeFileSystem::FolderOf(const NativePath& path) {
  const auto found = folders_.find(FolderPart(path));
  return found == folders_.end() ? nullptr : &found->second;
}

const FakeFileSystem::Folder* FakeFileSystem::FolderOf(const NativePath& path) const {
  const auto found = folders_.find(FolderPart(path));
  return found == folders_.end() ? nullptr : &found->second;
}

int FakeFileSystem::InodeAt(const NativePath& path) const {
  const Folder* folder = FolderOf(path);
  if (folder == nullptr) {
    return 0;
  }
  const auto found = folder->entries.find(NamePart(path));
  return found == folder->entries.end() ? 0 : found->second;
}

void FakeFileSystem::Apply(Folder& folder, const Op& op) {
  Replay(folder.entries, op);
  folder.pending.push_back(op);
}

int FakeFileSystem::Create(const NativePath& path, const std::string& content) {
  const int id = next_inode_++;
  Inode& inode = inodes_[id];
  inode.data = content;
  Touch(inode);
  Apply(*FolderOf(path), Op{Op::kLink, NamePart(path), {}, id});
  return id;
}

void FakeFileSystem::MakeFolder(const std::string& folder) {
  folders_[Native(folder)];
}

void FakeFileSystem::Put(const std::string& path, const std::string& content, bool keep_time) {
  const NativePath native = Native(path);
  const int id = InodeAt(native);
  if (id == 0) {
    Inode& inode = inodes_[Create(native, content)];
    inode.durable = content;
    Folder& folder = *FolderOf(native);
    folder.durable = folder.entries;
    folder.pending.clear();
    return;
  }
  Inode& inode = inodes_[id];
  if (choices_.windows && inode.writers > 0) {
    ++refused_puts_;
    return;
  }
  inode.data = inode.durable = content;
  if (!keep_time) {
    Touch(inode);
  }
}

void FakeFileSystem::Replace(const std::string& path, const std::string& content) {
  const NativePath native = Native(path);
  Folder& folder = *FolderOf(native);
  const int id = next_inode_++;
  inodes_[id].data = inodes_[id].durable = content;
  Touch(inodes_[id]);
  folder.entries[NamePart(native)] = id;
  folder.durable = folder.entries;
  folder.pending.clear();
}

void FakeFileSystem::Remove(const std::string& path) {
  const NativePath native = Native(path);
  Folder& folder = *FolderOf(native);
  folder.entries.erase(NamePart(native));
  folder.durable = folder.entries;
  folder.pending.clear();
}

void FakeFileSystem::SetReadOnly(const std::string& path) {
  inodes_[InodeAt(Native(path))].read_only = true;
}

void FakeFileSystem::SetInUse(const std::string& path, int refusals, Sharing sharing) {
  Inode& inode = inodes_[InodeAt(Native(path))];
  inode.refusals = refusals;
  inode.sharing = sharing;
}

void FakeFileSystem::HoldLock(const std::string& folder) {
  folders_[Native(folder)].lock_holder = -1;
}

void FakeFileSystem::KillLockHolder(const std::string& folder) {
  folders_[Native(folder)].lock_holder = 0;
}

std::string FakeFileSystem::Content(const std::string& path) const {
  const int id = InodeAt(Native(path));
  return id == 0 ? "<missing>" : inodes_.at(id).data;
}

std::string FakeFileSystem::List(const std::string& folder) const {
  std::string names;
  const auto found = folders_.find(Native(folder));
  for (const auto& [name, inode] :
       found == folders_.end() ? decltype(found->second.entries){} : found->second.entries) {
    names += (names.empty() ? "" : " ") + std::string(name.begin(), name.end());
  }
  return names;
}

std::vector<FakeFileSystem> FakeFileSystem::StatesAfterPowerLoss() const {
  // Each folder keeps a prefix of its unflushed changes: a journal commits them in order.
  std::vector<std::map<NativePath, std::map<NativePath, int>>> layouts(1);
  for (const auto& [name, folder] : folders_) {
    std::vector<std::map<NativePath, std::map<NativePath, int>>> next;
    for (const auto& layout : layouts) {
      std::map<NativePath, int> entries = folder.durable;
      for (std::size_t kept = 0;; ++kept) {
        next.push_back(layout);
        next.back()[name] = entries;
        if (kept == folder.pending.size()) {
          break;
        }
        Replay(entries, folder.pending[kept]);
      }
    }
    layouts = std::move(next);
  }
  std::vector<FakeFileSystem> states;
  for (const auto& layout : layouts) {
    FakeFileSystem base = *this;
    base.before = nullptr;
    base.on_lock_wait = nullptr;
    base.open_.clear();
    base.steps_ = 0;
    base.cut_at_ = -1;
    base.dead_ = false;
    base.booted_ms_ = ++base.clock_ * 1000;
    std::vector<int> linked;
    for (auto& [name, folder] : base.folders_) {
      folder.entries = folder.durable = layout.at(name);
      folder.pending.clear();
      folder.lock_holder = 0;
      for (const auto& [entry, inode] : folder.entries) {
        linked.push_back(inode);
      }
    }
    for (auto& [id, inode] : base.inodes_) {
      inode.refusals = inode.writers = 0;
    }
    // Every linked file's possible contents, one disk for each combination.
    std::vector<FakeFileSystem> disks = {base};
    for (const int id : linked) {
      const Inode& inode = inodes_.at(id);
      std::vector<FakeFileSystem> next;
      for (const std::string& variant : DataVariants(inode.durable, inode.data)) {
        for (FakeFileSystem disk : disks) {
          disk.inodes_[id].data = disk.inodes_[id].durable = variant;
          next.push_back(std::move(disk));
        }
      }
      disks = std::move(next);
    }
    states.insert(states.end(), disks.begin(), disks.end());
  }
  return states;
}

// Windows waits for a holder; Linux has none, only folders and mounts that refuse.
store::ErrorMeaning FakeFileSystem::Meaning(SystemError error) const {
  using store::ErrorKind;
  const ErrorKind refused = choices_.windows ? ErrorKind::kHeld : ErrorKind::kRefused;
  switch (error) {
    case 0:
      return {};
    case kNoEntry:
      return {ErrorKind::kMissing, WriteFailure::kOther};
    case kExists:
      return {ErrorKind::kExisting, WriteFailure::kOther};
    case kInUse:
      return {refused, WriteFailure::kHeldOpen};
    case kDenied:
      return {refused, WriteFailure::kNoPermission};
    case kUnsupported:
      return {ErrorKind::kUnsupported, WriteFailure::kOther};
    default:
      return {ErrorKind::kOther, WriteFailure::kOther};
  }
}

NativePath FakeFileSystem::NativeFromPath(const std::string& path) {
  return Native(path);
}

bool FakeFileSystem::IsPlainFileAt(const NativePath& path) {
  return Step(FakeStep::kIdentity, path) && InodeAt(path) != 0;
}

store::FileHandle FakeFileSystem::OpenForReading(const NativePath& path, bool, SystemError& error) {
  if (!Step(FakeStep::kOpen, path)) {
    error = kPowerLost;
    return store::FileHandle();
  }
  const int id = InodeAt(path);
  if (id == 0) {
    error = kNoEntry;
    return store::FileHandle();
  }
  Inode& inode = inodes_[id];
  if (inode.refusals > 0 && inode.sharing == Sharing::kNothing) {
    --inode.refusals;
    error = kInUse;
    return store::FileHandle();
  }
  error = 0;
  open_[next_handle_] = Open{id, 0};
  return store::FileHandle(next_handle_++, this);
}

store::FileHandle FakeFileSystem::OpenForWriting(const NativePath& path, SystemError& error) {
  if (!Step(FakeStep::kOpen, path)) {
    error = kPowerLost;
    return store::FileHandle();
  }
  const int id = InodeAt(path);
  if (id == 0 || inodes_[id].read_only) {
    error = id == 0 ? kNoEntry : kDenied;
    return store::FileHandle();
  }
  if (inodes_[id].refusals > 0 && inodes_[id].sharing != Sharing::kReadingAndWriting) {
    --inodes_[id].refusals;
    error = kInUse;
    return store::FileHandle();
  }
  error = 0;
  open_[next_handle_] = Open{id, 0, true};
  ++inodes_[id].writers;
  return store::FileHandle(next_handle_++, this);
}

bool FakeFileSystem::CloseNative(std::intptr_t native) {
  const auto found = open_.find(native);
  if (found != open_.end() && found->second.writing) {
    --inodes_[found->second.inode].writers;
  }
  open_.erase(native);
  return true;
}

bool FakeFileSystem::IdentityOf(const store::FileHandle& file, store::FileIdentity& identity) {
  identity = store::FileIdentity{};
  const auto found = open_.find(file.get());
  if (!Step(FakeStep::kIdentity, {}) || found == open_.end()) {
    return false;
  }
  const Inode& inode = inodes_[found->second.inode];
  identity.exists = true;
  identity.device = 1;
  identity.index = static_cast<std::uint64_t>(found->second.inode);
  identity.size = inode.data.size();
  identity.write_time = inode.write_time;
  identity.written_ms = inode.write_time * 1000;  // a second between two steps
  identity.change_time = choices_.windows ? 0 : inode.change_time;
  identity.mode =
      choices_.windows ? (inode.read_only ? 1u : 0x20u) : (inode.read_only ? 0100444u : 0100644u);
  identity.plain = true;
  return true;
}

bool FakeFileSystem::IdentityAt(const NativePath& path, store::FileIdentity& identity) {
  identity = store::FileIdentity{};
  if (!Step(FakeStep::kIdentity, path)) {
    return false;
  }
  const int id = InodeAt(path);
  if (id == 0) {
    return FolderOf(path) != nullptr;
  }
  open_[next_handle_] = Open{id, 0};
  const store::FileHandle file(next_handle_++, this);
  --steps_;  // the one step already counted
  return IdentityOf(file, identity);
}

std::int64_t FakeFileSystem::ReadSome(const store::FileHandle& file, char* buffer, std::size_t size,
                                      SystemError& error) {
  const auto found = open_.find(file.get());
  if (!Step(FakeStep::kRead, {}) || found == open_.end()) {
    error = kPowerLost;
    return -1;
  }
  const std::string& data = inodes_[found->second.inode].data;
  const std::size_t start = std::min(found->second.position, data.size());
  const std::size_t n = std::min(size, data.size() - start);
  data.copy(buffer, n, start);
  found->second.position = start + n;
  error = 0;
  return static_cast<std::int64_t>(n);
}

std::int64_t FakeFileSystem::WriteSome(const store::FileHandle& file, const char* data,
                                       std::size_t size, SystemError& error) {
  const auto found = open_.find(file.get());
  if (!Step(FakeStep::kWrite, {}) || found == open_.end()) {
    error = kPowerLost;
    return -1;
  }
  Inode& inode = inodes_[found->second.inode];
  if (inode.data.size() < found->second.position + size) {
    inode.data.resize(found->second.position + size, '\0');
  }
  inode.data.replace(found->second.position, size, data, size);
  found->second.position += size;
  Touch(inode);
  error = 0;
  return static_cast<std::int64_t>(size);
}

bool FakeFileSystem::MayReplace(const NativePath& target, const store::FileIdentity& original) {
  return !original.exists || !inodes_[InodeAt(target)].read_only;
}

// Three steps, as the real ones take: the name made, the bytes written, the bytes flushed.
SystemError FakeFileSystem::WriteTemporary(const NativePath& temp_path, const NativePath&,
                                           const std::string& content, const store::FileIdentity&) {
  if (!Step(FakeStep::kCreate, temp_path)) {
    return kPowerLost;
  }
  if (FolderOf(temp_path) == nullptr) {
    return kNoEntry;
  }
  if (InodeAt(temp_path) != 0) {
    return kExists;
  }
  if (choices_.refuse_new_files) {
    return kDenied;
  }
  const int id = Create(temp_path, {});
  if (!Step(FakeStep::kWrite, temp_path)) {
    return kPowerLost;
  }
  inodes_[id].data = content;
  Touch(inodes_[id]);
  if (choices_.flush_temporaries && !Step(FakeStep::kFlush, temp_path)) {
    return kPowerLost;
  }
  if (choices_.flush_temporaries) {
    inodes_[id].durable = content;
  }
  return 0;
}

// The bytes over the old ones, then the rest cut off, then flushed: three steps.
SystemError FakeFileSystem::Overwrite(const store::FileHandle& file, const std::string& content,
                                      const store::FileIdentity&) {
  const auto found = open_.find(file.get());
  if (found == open_.end() || !Step(FakeStep::kWrite, {})) {
    return kPowerLost;
  }
  Inode& inode = inodes_[found->second.inode];
  inode.data.replace(0, std::min(inode.data.size(), content.size()), content);
  Touch(inode);
  if (!Step(FakeStep::kTruncate, {})) {
    return kPowerLost;
  }
  inode.data.resize(content.size());
  return 0;
}

SystemError FakeFileSystem::Flush(const NativePath& path) {
  if (!Step(FakeStep::kFlush, path)) {
    return kPowerLost;
  }
  const int id = InodeAt(path);
  if (id == 0) {
    return kNoEntry;
  }
  inodes_[id].durable = inodes_[id].data;
  return 0;
}

void FakeFileSystem::RemoveFile(const NativePath& path) {
  if (Step(FakeStep::kRemove, path) && InodeAt(path) != 0) {
    Apply(*FolderOf(path), Op{Op::kUnlink, NamePart(path), {}, 0});
  }
}

SystemError FakeFileSystem::Rename(const NativePath& from, const NativePath& to, RenameMode mode) {
  if (!Step(FakeStep::kRename, to, mode)) {
    return kPowerLost;
  }
  const int source = InodeAt(from);
  const int target = InodeAt(to);
  if (mode == RenameMode::kExchange && !choices_.exchange) {
    return kUnsupported;
  }
  if (source == 0 || (mode == RenameMode::kExchange && target == 0)) {
    return kNoEntry;
  }
  if (mode == RenameMode::kNoReplace && target != 0) {
    return kExists;
  }
  if (mode == RenameMode::kReplace && target != 0 && choices_.windows &&
      inodes_[target].read_only) {
    return kDenied;
  }
  if (target != 0 && inodes_[target].refusals > 0) {
    --inodes_[target].refusals;
    return kInUse;
  }
  Folder& folder = *FolderOf(to);
  const bool exchange = mode == RenameMode::kExchange;
  Apply(folder, Op{exchange ? Op::kExchange : Op::kRename, NamePart(from), NamePart(to), 0});
  inodes_[source].change_time = ++clock_;
  if (choices_.windows) {
    // MOVEFILE_WRITE_THROUGH: on disk, with all that came before it, when the call returns.
    folder.durable = folder.entries;
    folder.pending.clear();
  }
  return 0;
}

SystemError FakeFileSystem::LinkBeside(const NativePath& target, const NativePath& link) {
  if (!Step(FakeStep::kLink, link)) {
    return kPowerLost;
  }
  const int inode = InodeAt(target);
  if (!choices_.hard_links || inode == 0) {
    return choices_.hard_links ? kNoEntry : kUnsupported;
  }
  if (InodeAt(link) != 0) {
    return kExists;
  }
  if (inodes_[inode].refusals > 0) {
    --inodes_[inode].refusals;
    return kInUse;  // no holder shares deletion
  }
  Apply(*FolderOf(link), Op{Op::kLink, NamePart(link), {}, inode});
  return 0;
}

std::unique_ptr<store::WriterLock> FakeFileSystem::LockFor(const NativePath& target) {
  return std::make_unique<FakeLock>(*this, FolderPart(target));
}

}  // namespace ventrel::test
