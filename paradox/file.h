// The one way the engine reaches files: a small random-access File and a FileSystem that
// opens, lists and removes them. posixFileSystem() is the real one; MemoryFileSystem serves
// tests and lets them inject faults (fail the k-th write, drop unsynced data).
#pragma once

#include "paradox/status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velanta::paradox {

enum class OpenMode {
  kReadOnly,  // the file must exist
  kReadWrite, // the file must exist; fails with kTableReadOnly when it cannot be written
  kCreate,    // read/write, created empty when missing
};

enum class LockType { kShared, kExclusive };

class File {
public:
  virtual ~File() = default;

  // Reads up to out.size() bytes at offset; *bytesRead tells how many arrived (fewer only at
  // the end of the file, which is not an error).
  virtual Status read(std::uint64_t offset, std::span<std::uint8_t> out,
                      std::size_t *bytesRead) = 0;
  virtual Status write(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
  virtual Status sync() = 0;
  virtual Result<std::uint64_t> size() = 0;
  virtual Status truncate(std::uint64_t size) = 0;
  // Byte-range locks between processes (fcntl semantics in the POSIX file). With wait false a
  // conflicting lock gives kFileLocked at once.
  virtual Status lock(std::uint64_t offset, std::uint64_t length, LockType type, bool wait) = 0;
  virtual Status unlock(std::uint64_t offset, std::uint64_t length) = 0;

  // The whole file mapped into memory for reading, when the implementation can (POSIX files
  // opened read-only or read/write; not the in-memory ones). `size` receives the mapped
  // length. The mapping shows later writes through this file; after the file has grown,
  // call it again for a longer one. nullptr: read through read() instead.
  virtual const std::uint8_t *map(std::uint64_t &size) {
    size = 0;
    return nullptr;
  }
  // Lets go of the mapping's pages touched so far: they stay in the page cache and come back
  // on the next access, but no longer count as this process's memory. The mapping itself and
  // pointers into it stay valid.
  virtual void releaseMappedPages() {}

  // The path the file was opened with (used in error context lines).
  const std::string &path() const { return path_; }

  // Reads exactly out.size() bytes or fails (kHeaderCorrupt-free: a short read is reported as
  // kIoError naming the file; callers that tolerate short reads use read()).
  Status readExact(std::uint64_t offset, std::span<std::uint8_t> out);

protected:
  explicit File(std::string path) : path_(std::move(path)) {}

private:
  std::string path_;
};

class FileSystem {
public:
  virtual ~FileSystem() = default;
  virtual Result<std::unique_ptr<File>> open(const std::string &path, OpenMode mode) = 0;
  // Names (not paths) of the entries of a directory.
  virtual Result<std::vector<std::string>> list(const std::string &directory) = 0;
  virtual bool exists(const std::string &path) = 0;
  virtual Status remove(const std::string &path) = 0;
  virtual Status rename(const std::string &from, const std::string &to) = 0;
  // Whether new files can be created in the directory (journal, lock files).
  virtual bool directoryWritable(const std::string &directory) = 0;
};

// The process's real file system (POSIX open/pread/pwrite/fsync/fcntl).
FileSystem &posixFileSystem();

// Joins a directory and a name with '/', leaving the name alone when the directory is empty.
std::string joinPath(std::string_view directory, std::string_view name);

// Files held in memory, keyed by their full path. Directories exist implicitly. Thread-safe.
class MemoryFileSystem : public FileSystem {
public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  Result<std::unique_ptr<File>> open(const std::string &path, OpenMode mode) override;
  Result<std::vector<std::string>> list(const std::string &directory) override;
  bool exists(const std::string &path) override;
  Status remove(const std::string &path) override;
  Status rename(const std::string &from, const std::string &to) override;
  bool directoryWritable(const std::string &directory) override;

  void setContents(const std::string &path, std::vector<std::uint8_t> bytes);
  // The bytes as written so far (synced or not); empty when the file does not exist.
  std::vector<std::uint8_t> contents(const std::string &path) const;
  void setReadOnly(const std::string &path, bool readOnly);
  void setDirectoryReadOnly(const std::string &directory, bool readOnly);

  // Fault injection. The hook sees every write (path, offset, size) before it happens and
  // may refuse it by returning a failed Status; nothing of a refused write lands.
  using WriteHook =
      std::function<Status(const std::string &path, std::uint64_t offset, std::size_t size)>;
  void setWriteHook(WriteHook hook);
  // Simulates a power loss: every file returns to its content at its last sync().
  void dropUnsyncedData();

  struct Node;

private:
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Node>> files_;
  std::map<std::string, bool> readOnlyDirectories_;
  WriteHook writeHook_;
  friend class MemoryFile;
};

} // namespace velanta::paradox
