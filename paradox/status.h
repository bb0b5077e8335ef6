// Errors inside the engine are values: a Status carries the engine's error code, a short
// Russian text for the user and context lines (the file's name, the block). Result<T> is a
// value or the Status that explains why there is none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace velanta::paradox {

// The table engine's error codes (category in the high byte). The 0xF0xx codes are our own,
// for failures the original engine has no code of its own for.
enum class ErrorCode : std::uint16_t {
  kOk = 0,
  kNoSuchTable = 0x2728,
  kNoSuchFile = 0x2704,
  kOsNoEnt = 0x2B02,
  kNoSuchIndex = 0x270D,
  kInsufficientTableRights = 0x2902,
  kInvalidPassword = 0x271F,
  kTableReadOnly = 0x2A0B,
  kReadOnlyDirectory = 0x2904,
  kReadOnlyDatabase = 0x2905,
  kRecordLocked = 0x2801,
  kTableBusy = 0x2803,
  kFileLocked = 0x2805,
  kNeedExclusiveAccess = 0x280D,
  kKeyViolation = 0x2601,
  kIndexOutOfDate = 0x2F02,
  kBlobModified = 0x3302,
  kBlobFileMissing = 0x220A,
  kHeaderCorrupt = 0x2301,
  kMemoCorrupt = 0x2303,
  kIndexCorrupt = 0x2305,
  kNetMultiple = 0x2C06,
  kIoError = 0xF001,         // the operating system refused a read, write, sync or lock
  kInvalidArgument = 0xF002, // a caller's value does not fit (wrong type, too long, out of range)
  kNotSupported = 0xF003,    // a file feature this engine does not handle
  kNoCurrentRecord = 0xF004, // an operation that needs a current record on an empty set
};

// The user-visible text for a code, in Russian (UTF-8), one short sentence.
std::string_view defaultMessage(ErrorCode code);

class [[nodiscard]] Status {
public:
  Status() = default; // success
  Status(ErrorCode code, std::string message, std::vector<std::string> context = {})
      : code_(code),
        details_(std::make_unique<Details>(Details{std::move(message), std::move(context)})) {}
  Status(const Status &other)
      : code_(other.code_),
        details_(other.details_ ? std::make_unique<Details>(*other.details_) : nullptr) {}
  Status &operator=(const Status &other) {
    if (this != &other) *this = Status(other);
    return *this;
  }
  Status(Status &&) noexcept = default;
  Status &operator=(Status &&) noexcept = default;
  ~Status() = default;

  // The code's default text plus context lines (typically the file's name).
  static Status error(ErrorCode code, std::vector<std::string> context = {}) {
    return Status(code, std::string(defaultMessage(code)), std::move(context));
  }
  static Status ok() { return {}; }

  bool isOk() const { return code_ == ErrorCode::kOk; }
  explicit operator bool() const { return isOk(); }
  ErrorCode code() const { return code_; }
  const std::string &message() const;
  const std::vector<std::string> &context() const;

  // Adds a context line (a file name, "блок 12"), returns *this for chaining.
  Status &&withContext(std::string line) && {
    if (!details_) details_ = std::make_unique<Details>();
    details_->context.push_back(std::move(line));
    return std::move(*this);
  }

  // Message followed by the context lines, one per line, as the error box shows it.
  std::string toString() const;

private:
  struct Details {
    std::string message;
    std::vector<std::string> context;
  };
  ErrorCode code_ = ErrorCode::kOk;
  // Only a failure carries text: a success (every step of a scan returns one) is a code and a
  // null pointer, cheap to return and to move.
  std::unique_ptr<Details> details_;
};

template <class T> class [[nodiscard]] Result {
public:
  Result(T value) : state_(std::move(value)) {}
  Result(Status status) : state_(std::move(status)) {}

  bool isOk() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return isOk(); }
  const Status &status() const {
    static const Status kOk;
    return isOk() ? kOk : std::get<Status>(state_);
  }
  Status takeStatus() { return isOk() ? Status() : std::move(std::get<Status>(state_)); }
  T &value() & { return std::get<T>(state_); }
  const T &value() const & { return std::get<T>(state_); }
  T &&value() && { return std::get<T>(std::move(state_)); }
  T &operator*() & { return value(); }
  const T &operator*() const & { return value(); }
  T *operator->() { return &value(); }
  const T *operator->() const { return &value(); }

private:
  std::variant<T, Status> state_;
};

} // namespace velanta::paradox
