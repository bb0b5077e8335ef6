// POSIX implementation of the file interface.
#include "paradox/file.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velanta::paradox {
namespace {

Status osError(ErrorCode code, const std::string &path, int error) {
  return Status::error(code, {path, std::strerror(error)});
}

class PosixFile final : public File {
public:
  PosixFile(std::string path, int fd) : File(std::move(path)), fd_(fd) {}
  ~PosixFile() override {
    unmap();
    ::close(fd_);
  }
  PosixFile(const PosixFile &) = delete;
  PosixFile &operator=(const PosixFile &) = delete;

  Status read(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t *bytesRead) override {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n =
          ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return osError(ErrorCode::kIoError, path(), errno);
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    *bytesRead = done;
    return {};
  }

  Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n =
          ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return osError(ErrorCode::kIoError, path(), errno);
      }
      done += static_cast<std::size_t>(n);
    }
    return {};
  }

  Status sync() override {
    if (::fdatasync(fd_) != 0) return osError(ErrorCode::kIoError, path(), errno);
    return {};
  }

  Result<std::uint64_t> size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return osError(ErrorCode::kIoError, path(), errno);
    return static_cast<std::uint64_t>(st.st_size);
  }

  Status truncate(std::uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
      return osError(ErrorCode::kIoError, path(), errno);
    return {};
  }

  Status lock(std::uint64_t offset, std::uint64_t length, LockType type, bool wait) override {
    return setLock(offset, length, type == LockType::kShared ? F_RDLCK : F_WRLCK, wait);
  }

  Status unlock(std::uint64_t offset, std::uint64_t length) override {
    return setLock(offset, length, F_UNLCK, false);
  }

  const std::uint8_t *map(std::uint64_t &size) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || st.st_size <= 0) {
      size = 0;
      return nullptr;
    }
    const auto current = static_cast<std::uint64_t>(st.st_size);
    if (mapping_ == nullptr || current != mappedSize_) {
      unmap();
      void *address = ::mmap(nullptr, current, PROT_READ, MAP_SHARED, fd_, 0);
      if (address == MAP_FAILED) {
        size = 0;
        return nullptr;
      }
      mapping_ = static_cast<const std::uint8_t *>(address);
      mappedSize_ = current;
    }
    size = mappedSize_;
    return mapping_;
  }

  void releaseMappedPages() override {
    if (mapping_ != nullptr)
      ::madvise(const_cast<std::uint8_t *>(mapping_), mappedSize_, MADV_DONTNEED);
  }

private:
  void unmap() {
    if (mapping_ != nullptr) ::munmap(const_cast<std::uint8_t *>(mapping_), mappedSize_);
    mapping_ = nullptr;
    mappedSize_ = 0;
  }

  Status setLock(std::uint64_t offset, std::uint64_t length, short kind, bool wait) {
    struct flock request {};
    request.l_type = kind;
    request.l_whence = SEEK_SET;
    request.l_start = static_cast<off_t>(offset);
    request.l_len = static_cast<off_t>(length);
    while (::fcntl(fd_, wait ? F_SETLKW : F_SETLK, &request) != 0) {
      if (errno == EINTR) continue;
      if (errno == EACCES || errno == EAGAIN)
        return Status::error(ErrorCode::kFileLocked, {path()});
      return osError(ErrorCode::kIoError, path(), errno);
    }
    return {};
  }

  int fd_;
  const std::uint8_t *mapping_ = nullptr;
  std::uint64_t mappedSize_ = 0;
};

class PosixFileSystem final : public FileSystem {
public:
  Result<std::unique_ptr<File>> open(const std::string &path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
    case OpenMode::kReadOnly:
      flags |= O_RDONLY;
      break;
    case OpenMode::kReadWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::kCreate:
      flags |= O_RDWR | O_CREAT;
      break;
    }
    int fd = -1;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      const int error = errno;
      if (error == ENOENT) return osError(ErrorCode::kNoSuchFile, path, error);
      if (mode != OpenMode::kReadOnly && (error == EACCES || error == EROFS || error == EPERM))
        return osError(ErrorCode::kTableReadOnly, path, error);
      return osError(ErrorCode::kIoError, path, error);
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      return Status::error(ErrorCode::kNoSuchFile, {path});
    }
    return std::unique_ptr<File>(std::make_unique<PosixFile>(path, fd));
  }

  Result<std::vector<std::string>> list(const std::string &directory) override {
    const std::string dir = directory.empty() ? "." : directory;
    DIR *handle = ::opendir(dir.c_str());
    if (handle == nullptr) return osError(ErrorCode::kOsNoEnt, dir, errno);
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(handle)) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(handle);
    return names;
  }

  bool exists(const std::string &path) override { return ::access(path.c_str(), F_OK) == 0; }

  Status remove(const std::string &path) override {
    if (::unlink(path.c_str()) != 0)
      return osError(errno == ENOENT ? ErrorCode::kNoSuchFile : ErrorCode::kIoError, path, errno);
    return {};
  }

  Status rename(const std::string &from, const std::string &to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return osError(ErrorCode::kIoError, from, errno);
    return {};
  }

  bool directoryWritable(const std::string &directory) override {
    return ::access(directory.empty() ? "." : directory.c_str(), W_OK) == 0;
  }
};

} // namespace

FileSystem &posixFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

} // namespace velanta::paradox
