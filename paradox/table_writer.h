// Changing a table in place: insert, update and delete records, keeping the .DB blocks, the
// .MB, the .PX and every maintained secondary index (.Xnn/.Ynn, .XGn/.YGn) in step, atomically
// (journal.h) and safely shared with other processes (table_lock.h).
//
//   auto writer = TableWriter::open(dir, "base.db", {.passwords = {"secret"}});
//   RecordValues doc = writer->newRecord();
//   doc.setText("Tip", tip); doc.setText("Name", name); doc.setText("Text", rtf);
//   auto stored = writer->insert(doc);                      // placed by its key
//   RecordValues edit = writer->editRecord(*stored);        // start from the stored bytes
//   edit.setText("Name", newName);                          // checked here
//   writer->lockRecord(*stored);                            // "Record locked by another user"
//   stored = writer->update(*stored, edit);                 // XG entry moves with the name
//   writer->unlockRecord();
//   writer->remove(*stored);
//
// Records are identified by their stored bytes as a cursor hands them out (recordBytes()):
// keyed tables by the primary key, unkeyed ones by the whole record. Every change re-reads the
// headers under the modification lock, so changes made by other processes since are honoured.
#pragma once

#include "paradox/file.h"
#include "paradox/record_values.h"
#include "paradox/status.h"
#include "paradox/table_spec.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velanta::paradox {

struct WriterOptions {
  std::vector<std::string> passwords; // tried on an encrypted table
  FileSystem *fileSystem = nullptr;   // nullptr: the real one (with OS locks)
};

class TableWriter {
public:
  // Fails with kTableReadOnly (files or folder not writable, table write-protected, a program
  // of the original engine active in the folder), kIndexOutOfDate/kIndexCorrupt (a maintained
  // index we cannot keep in step: open read-only instead), kInsufficientTableRights (no
  // password matches), kNotSupported (field types or index layouts we do not write). The
  // message says why. A hot journal left by a crash is rolled back first.
  static Result<std::unique_ptr<TableWriter>>
  open(const std::string &directory, const std::string &name, const WriterOptions &options = {});
  ~TableWriter();
  TableWriter(const TableWriter &) = delete;
  TableWriter &operator=(const TableWriter &) = delete;

  const TableLayout &layout() const { return *layout_; }
  const std::string &dbPath() const { return dbPath_; }

  RecordValues newRecord() const { return RecordValues(layout_); }
  RecordValues editRecord(std::span<const std::uint8_t> stored) const {
    return RecordValues(layout_, {stored.begin(), stored.end()});
  }

  // Record lock held until unlockRecord() (or another lockRecord, or destruction).
  Status lockRecord(std::span<const std::uint8_t> stored);
  void unlockRecord();

  // Keyed table: placed by its key (kKeyViolation when taken). Unkeyed: appended. Blank
  // autoincrement fields are numbered. Returns the record as stored.
  Result<std::vector<std::uint8_t>> insert(const RecordValues &values);
  // Unkeyed table: placed before `current` (appended when current is empty).
  Result<std::vector<std::uint8_t>> insertBefore(const RecordValues &values,
                                                 std::span<const std::uint8_t> current);
  // Rewrites the record `original` with `values` (built by editRecord(original)). A changed
  // primary key moves the record; changed indexed fields move its index entries. Fails
  // without writing anything when the record changed or vanished meanwhile.
  Result<std::vector<std::uint8_t>> update(std::span<const std::uint8_t> original,
                                           const RecordValues &values);
  Status remove(std::span<const std::uint8_t> original);

  // Keyed table: the stored record whose primary key equals that of `record` (empty when none),
  // as the files hold it now.
  Result<std::vector<std::uint8_t>> fetch(std::span<const std::uint8_t> record);

  // The whole value of blob field `field` of a stored record.
  Result<std::string> readBlob(std::span<const std::uint8_t> stored, int field);

  struct Impl;

private:
  explicit TableWriter(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
  std::shared_ptr<const TableLayout> layout_;
  std::string dbPath_;
};

} // namespace velanta::paradox
