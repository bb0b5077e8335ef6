// The writing entry points a data set calls for its table: edit (record lock), post, insert,
// delete, cancel. Records are named by their stored bytes as the cursor hands them out
// (Cursor::recordBytes()); values are given per field number as bytes, as a data-aware control
// holds them: code page 1251 text for alpha fields, the value's bytes for blob fields, decimal
// text for numbers, "1"/"0" for logical fields, "YYYY-MM-DD" for dates.
//
//   auto editor = TableEditor::open(table);          // once per open table
//   editor->edit(cursor.recordBytes());               // "Record locked by another user"?
//   auto written = editor->post(cursor.recordBytes(), {{nameField, {false, newName}}});
//   // the cursor's table changed: reopen or refresh the cursor, then stand on *written
//
// Nothing is written when a value does not fit its field (the error names the field) or the
// key is taken; every change is atomic across the table's files (journal.h).
#pragma once

#include "paradox/status.h"
#include "paradox/table_writer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velanta::paradox {

class Table;

struct FieldInput {
  bool blank = false;
  std::string bytes;
};
using FieldInputs = std::map<int, FieldInput>; // by 0-based field number

class TableEditor {
public:
  // Opens the writing side for an open table (same folder, file system and passwords).
  // Fails as TableWriter::open does (kTableReadOnly, kIndexOutOfDate, ... with the reason).
  static Result<std::unique_ptr<TableEditor>> open(Table &table);
  static Result<std::unique_ptr<TableEditor>>
  open(const std::string &directory, const std::string &name, const WriterOptions &options);

  // Starts editing the record: takes its record lock (kRecordLocked when another user holds it).
  Status edit(std::span<const std::uint8_t> current);
  // Writes the changes into the record being edited; releases the lock. Returns the record as
  // stored, to position the cursor on.
  Result<std::vector<std::uint8_t>> post(std::span<const std::uint8_t> original,
                                         const FieldInputs &changes);
  // A new record (keyed: by its key; unkeyed: before `current`, appended when it is empty).
  Result<std::vector<std::uint8_t>> insert(const FieldInputs &values,
                                           std::span<const std::uint8_t> current = {});
  // Deletes the record (taking and releasing its lock unless it is being edited).
  Status remove(std::span<const std::uint8_t> current);
  // Ends an edit without writing; releases the record lock.
  void cancel();

  TableWriter &writer() { return *writer_; }

private:
  explicit TableEditor(std::unique_ptr<TableWriter> writer) : writer_(std::move(writer)) {}
  Status apply(RecordValues &record, const FieldInputs &changes) const;

  std::unique_ptr<TableWriter> writer_;
  std::vector<std::uint8_t> editing_; // key of the record under edit
};

} // namespace velanta::paradox
