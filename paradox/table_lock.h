// Locks between processes sharing a table, as byte-range locks on the .DB file itself (POSIX
// open-file-description locks: they belong to this handle alone, so closing another handle of
// the same file elsewhere in the process — a cursor, the journal recovery — never drops them,
// and two handles in one process exclude each other like two programs do).
//
//   byte 0x7FFFFF00          modification lock: exclusive for the whole of one change
//                            (including journal recovery); shared while a reader refreshes
//   0x40000000 + hash(key)   record lock: exclusive while a record is being edited
//
// The bytes lie far beyond any real .DB's end, so they never stand in the way of reads and
// writes of other programs that lock real ranges.
#pragma once

#include "paradox/status.h"

#include <cstdint>
#include <span>
#include <string>

namespace velanta::paradox {

class TableLock {
public:
  // Opens its own handle on the .DB (for writing, as write locks need). With an empty path (tables
  // in a memory file system) every lock succeeds at once.
  static Result<TableLock> open(const std::string &dbPath);
  TableLock(TableLock &&other) noexcept;
  TableLock &operator=(TableLock &&other) noexcept;
  ~TableLock();

  Status lockModification(bool exclusive, bool wait);
  void unlockModification();

  // kRecordLocked when another handle holds the record.
  Status lockRecord(std::span<const std::uint8_t> identity);
  void unlockRecord();
  bool holdsRecord() const { return recordOffset_ != 0; }

private:
  explicit TableLock(int fd) : fd_(fd) {}
  Status setLock(std::uint64_t offset, short type, bool wait);
  int fd_ = -1;
  std::uint64_t recordOffset_ = 0;
};

// True when a program of the original engine is active in the directory: one of its lock
// files (PDOXUSRS.LCK, PARADOX.LCK, any case) is locked by another process.
bool originalEngineActive(const std::string &directory);

} // namespace velanta::paradox
