#include "paradox/table_lock.h"

#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace velanta::paradox {
namespace {

constexpr std::uint64_t kModificationByte = 0x7FFFFF00ULL;
constexpr std::uint64_t kRecordBase = 0x40000000ULL;
constexpr std::uint64_t kRecordSpan = 0x3FFFFF00ULL;

std::uint64_t hashIdentity(std::span<const std::uint8_t> identity) {
  std::uint64_t h = 1469598103934665603ULL;
  for (std::uint8_t b : identity) {
    h ^= b;
    h *= 1099511628211ULL;
  }
  return h;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

} // namespace

Result<TableLock> TableLock::open(const std::string &dbPath) {
  if (dbPath.empty()) return TableLock(-1);
  // Write locks need a handle open for writing.
  const int fd = ::open(dbPath.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0)
    return Status(errno == EACCES || errno == EROFS ? ErrorCode::kTableReadOnly
                                                    : ErrorCode::kIoError,
                  std::string(defaultMessage(ErrorCode::kIoError)), {dbPath});
  return TableLock(fd);
}

TableLock::TableLock(TableLock &&other) noexcept
    : fd_(other.fd_), recordOffset_(other.recordOffset_) {
  other.fd_ = -1;
  other.recordOffset_ = 0;
}

TableLock &TableLock::operator=(TableLock &&other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    recordOffset_ = other.recordOffset_;
    other.fd_ = -1;
    other.recordOffset_ = 0;
  }
  return *this;
}

TableLock::~TableLock() {
  if (fd_ >= 0) ::close(fd_); // releases every lock of this handle
}

Status TableLock::setLock(std::uint64_t offset, short type, bool wait) {
  if (fd_ < 0) return {};
  struct flock request {};
  request.l_type = type;
  request.l_whence = SEEK_SET;
  request.l_start = static_cast<off_t>(offset);
  request.l_len = 1;
  while (::fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &request) != 0) {
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return Status::error(ErrorCode::kFileLocked);
    return Status::error(ErrorCode::kIoError);
  }
  return {};
}

Status TableLock::lockModification(bool exclusive, bool wait) {
  return setLock(kModificationByte, exclusive ? F_WRLCK : F_RDLCK, wait);
}

void TableLock::unlockModification() {
  (void)setLock(kModificationByte, F_UNLCK, false);
}

Status TableLock::lockRecord(std::span<const std::uint8_t> identity) {
  unlockRecord();
  const std::uint64_t offset = kRecordBase + hashIdentity(identity) % kRecordSpan;
  Status s = setLock(offset, F_WRLCK, false);
  if (s.code() == ErrorCode::kFileLocked) return Status::error(ErrorCode::kRecordLocked);
  if (!s) return s;
  recordOffset_ = offset;
  return {};
}

void TableLock::unlockRecord() {
  if (recordOffset_ != 0) (void)setLock(recordOffset_, F_UNLCK, false);
  recordOffset_ = 0;
}

bool originalEngineActive(const std::string &directory) {
  DIR *dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return false;
  bool active = false;
  while (const dirent *entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!equalNoCase(name, "PDOXUSRS.LCK") && !equalNoCase(name, "PARADOX.LCK")) continue;
    const std::string path =
        (directory.empty() ? std::string(".") : directory) + "/" + std::string(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // the whole file
    if (::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) active = true;
    ::close(fd);
  }
  ::closedir(dir);
  return active;
}

} // namespace velanta::paradox
