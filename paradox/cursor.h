// A cursor presents a table's records in one order (the table's own or a secondary index's),
// optionally restricted to a range on the order's first key field, and reads the current
// record's values. Positions are 1-based record numbers within the range, as users count them.
#pragma once

#include "paradox/status.h"
#include "paradox/value.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace velanta::paradox {

class CursorImpl;
class TableImpl;

class Cursor {
public:
  ~Cursor();
  Cursor(const Cursor &) = delete;
  Cursor &operator=(const Cursor &) = delete;

  // Restricts to the records whose first key field lies in [from, to] (both included, compared
  // the way the index orders them); further key fields are free. Values are given as
  // encodeValue() takes them for that field (Text in 1251 for alpha, int32 for S/I, …).
  // Costs O(log n) block reads. The cursor then stands before the first record (call first()).
  Status setRange(const Value &from, const Value &to);
  void clearRange();
  bool hasRange() const;

  // Records in the range (the whole table without one).
  std::uint64_t recordCount() const;

  // first() and last() make bof() / eof() true as well (the record is current); on an empty
  // range both are true and there is no current record (recordNumber() 0).
  Status first();
  Status last();
  Status next();  // at the last record: eof() becomes true, the record stays current
  Status prior(); // at the first record: bof() becomes true, the record stays current
  Status moveBy(std::int64_t delta);
  Status moveTo(std::uint64_t recordNumber); // 1-based; clamped to the range
  bool bof() const;
  bool eof() const;
  // 1-based position of the current record in the range, 0 when there is none.
  std::uint64_t recordNumber() const;

  // Values of the current record (Blank when there is no current record). Text views stay
  // valid until the cursor moves.
  Value value(int field);
  Result<Value> value(std::string_view fieldName);
  // The whole bytes of a blob field's value (memo text as stored, graphic with its 8-byte
  // prefix). kMemoCorrupt / kBlobFileMissing for that value only.
  Status readBlob(int field, std::vector<std::uint8_t> &out);
  // The current record as stored (decrypted), empty when there is none.
  std::span<const std::uint8_t> recordBytes() const;

  // True when the order comes from an index built in memory because the index file was
  // missing, damaged or out of step with the table. Indexes of tables up to 20 000 records
  // are checked in full when the cursor opens; for bigger ones a disagreement found while
  // moving switches the cursor over (keeping its record number), and this turns true then.
  bool usesRebuiltIndex() const;

  CursorImpl &impl() { return *impl_; }

private:
  friend class TableImpl;
  explicit Cursor(std::unique_ptr<CursorImpl> impl);
  std::unique_ptr<CursorImpl> impl_;
};

} // namespace velanta::paradox
