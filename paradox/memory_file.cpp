// In-memory file system for tests: whole files as byte vectors, with the content at the last
// sync kept apart so that a simulated power loss can drop what was never synced.
#include "paradox/file.h"

#include <algorithm>

namespace velanta::paradox {

struct MemoryFileSystem::Node {
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t> synced;
  bool readOnly = false;
  struct Lock {
    const void *owner;
    std::uint64_t offset;
    std::uint64_t length; // 0 = to the end of the file
    LockType type;
  };
  std::vector<Lock> locks;
};

namespace {

bool overlaps(std::uint64_t aOffset, std::uint64_t aLength, std::uint64_t bOffset,
              std::uint64_t bLength) {
  const std::uint64_t aEnd = aLength == 0 ? UINT64_MAX : aOffset + aLength;
  const std::uint64_t bEnd = bLength == 0 ? UINT64_MAX : bOffset + bLength;
  return aOffset < bEnd && bOffset < aEnd;
}

std::string parentOf(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

class MemoryFile final : public File {
public:
  MemoryFile(MemoryFileSystem &fs, std::string path, std::shared_ptr<MemoryFileSystem::Node> node,
             bool writable)
      : File(std::move(path)), fs_(fs), node_(std::move(node)), writable_(writable) {}

  ~MemoryFile() override {
    std::lock_guard guard(fs_.mutex_);
    std::erase_if(node_->locks, [this](const auto &lock) { return lock.owner == this; });
  }

  Status read(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t *bytesRead) override {
    std::lock_guard guard(fs_.mutex_);
    const auto &bytes = node_->bytes;
    *bytesRead = 0;
    if (offset >= bytes.size()) return {};
    const auto n = std::min<std::uint64_t>(out.size(), bytes.size() - offset);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
    *bytesRead = static_cast<std::size_t>(n);
    return {};
  }

  Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    MemoryFileSystem::WriteHook hook;
    {
      std::lock_guard guard(fs_.mutex_);
      if (!writable_) return Status::error(ErrorCode::kTableReadOnly, {path()});
      hook = fs_.writeHook_;
    }
    if (hook)
      if (auto status = hook(path(), offset, data.size()); !status) return status;
    std::lock_guard guard(fs_.mutex_);
    auto &bytes = node_->bytes;
    if (bytes.size() < offset + data.size()) bytes.resize(offset + data.size());
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return {};
  }

  Status sync() override {
    std::lock_guard guard(fs_.mutex_);
    node_->synced = node_->bytes;
    return {};
  }

  Result<std::uint64_t> size() override {
    std::lock_guard guard(fs_.mutex_);
    return static_cast<std::uint64_t>(node_->bytes.size());
  }

  Status truncate(std::uint64_t size) override {
    std::lock_guard guard(fs_.mutex_);
    if (!writable_) return Status::error(ErrorCode::kTableReadOnly, {path()});
    node_->bytes.resize(size);
    return {};
  }

  Status lock(std::uint64_t offset, std::uint64_t length, LockType type, bool /*wait*/) override {
    std::lock_guard guard(fs_.mutex_);
    for (const auto &held : node_->locks) {
      if (held.owner == this || !overlaps(held.offset, held.length, offset, length)) continue;
      if (type == LockType::kExclusive || held.type == LockType::kExclusive)
        return Status::error(ErrorCode::kFileLocked, {path()});
    }
    std::erase_if(node_->locks, [&](const auto &held) {
      return held.owner == this && held.offset == offset && held.length == length;
    });
    node_->locks.push_back({this, offset, length, type});
    return {};
  }

  Status unlock(std::uint64_t offset, std::uint64_t length) override {
    std::lock_guard guard(fs_.mutex_);
    std::erase_if(node_->locks, [&](const auto &held) {
      return held.owner == this && overlaps(held.offset, held.length, offset, length);
    });
    return {};
  }

private:
  MemoryFileSystem &fs_;
  std::shared_ptr<MemoryFileSystem::Node> node_;
  bool writable_;
};

MemoryFileSystem::MemoryFileSystem() = default;
MemoryFileSystem::~MemoryFileSystem() = default;

Result<std::unique_ptr<File>> MemoryFileSystem::open(const std::string &path, OpenMode mode) {
  std::lock_guard guard(mutex_);
  auto found = files_.find(path);
  if (found == files_.end()) {
    if (mode != OpenMode::kCreate) return Status::error(ErrorCode::kNoSuchFile, {path});
    if (readOnlyDirectories_[parentOf(path)])
      return Status::error(ErrorCode::kReadOnlyDirectory, {path});
    found = files_.emplace(path, std::make_shared<Node>()).first;
  }
  const bool writable = mode != OpenMode::kReadOnly;
  if (writable && found->second->readOnly) return Status::error(ErrorCode::kTableReadOnly, {path});
  return std::unique_ptr<File>(std::make_unique<MemoryFile>(*this, path, found->second, writable));
}

Result<std::vector<std::string>> MemoryFileSystem::list(const std::string &directory) {
  std::lock_guard guard(mutex_);
  std::vector<std::string> names;
  for (const auto &[path, node] : files_)
    if (parentOf(path) == directory)
      names.push_back(directory.empty() ? path : path.substr(directory.size() + 1));
  return names;
}

bool MemoryFileSystem::exists(const std::string &path) {
  std::lock_guard guard(mutex_);
  return files_.contains(path);
}

Status MemoryFileSystem::remove(const std::string &path) {
  std::lock_guard guard(mutex_);
  if (files_.erase(path) == 0) return Status::error(ErrorCode::kNoSuchFile, {path});
  return {};
}

Status MemoryFileSystem::rename(const std::string &from, const std::string &to) {
  std::lock_guard guard(mutex_);
  auto found = files_.find(from);
  if (found == files_.end()) return Status::error(ErrorCode::kNoSuchFile, {from});
  auto node = found->second;
  files_.erase(found);
  files_[to] = std::move(node);
  return {};
}

bool MemoryFileSystem::directoryWritable(const std::string &directory) {
  std::lock_guard guard(mutex_);
  const auto found = readOnlyDirectories_.find(directory);
  return found == readOnlyDirectories_.end() || !found->second;
}

void MemoryFileSystem::setContents(const std::string &path, std::vector<std::uint8_t> bytes) {
  std::lock_guard guard(mutex_);
  auto &node = files_[path];
  if (!node) node = std::make_shared<Node>();
  node->bytes = std::move(bytes);
  node->synced = node->bytes;
}

std::vector<std::uint8_t> MemoryFileSystem::contents(const std::string &path) const {
  std::lock_guard guard(mutex_);
  const auto found = files_.find(path);
  return found == files_.end() ? std::vector<std::uint8_t>() : found->second->bytes;
}

void MemoryFileSystem::setReadOnly(const std::string &path, bool readOnly) {
  std::lock_guard guard(mutex_);
  if (const auto found = files_.find(path); found != files_.end())
    found->second->readOnly = readOnly;
}

void MemoryFileSystem::setDirectoryReadOnly(const std::string &directory, bool readOnly) {
  std::lock_guard guard(mutex_);
  readOnlyDirectories_[directory] = readOnly;
}

void MemoryFileSystem::setWriteHook(WriteHook hook) {
  std::lock_guard guard(mutex_);
  writeHook_ = std::move(hook);
}

void MemoryFileSystem::dropUnsyncedData() {
  std::lock_guard guard(mutex_);
  for (auto &[path, node] : files_)
    node->bytes = node->synced;
}

} // namespace velanta::paradox
