// Creating a Paradox table family from scratch: the .DB, and as the definition asks the .MB,
// the primary index .PX and maintained secondary indexes (.XGn/.YGn), laid out as the original
// engine's level-7 files are (not as pxlib writes them), optionally password-protected.
//
//   TableSpec definition;
//   definition.fields = {{"ID", FieldType::AutoInc}, {"Tip", FieldType::Alpha, 40},
//                  {"Name", FieldType::Alpha, 120}, {"Text", FieldType::Memo, 40}};
//   definition.keyFields = 1;
//   definition.indexes = {{"TipGlavno", {"Tip", "Name"}}};
//   definition.password = "secret";
//   Result<TableBuilder> builder = TableBuilder::make(definition);   // checks the definition
//   RecordValues doc = builder->newRecord();
//   doc.setText("Tip", "\xc4\xee\xe3\xee\xe2\xee\xf0");      // cp1251 bytes
//   doc.setText("Text", rtfBytes);                             // any length
//   builder->append(doc);
//   Status s = builder->write("/dir/base.db");
#pragma once

#include "paradox/blob_writer.h"
#include "paradox/byte_store.h"
#include "paradox/file.h"
#include "paradox/record_values.h"
#include "paradox/table_spec.h"

#include <memory>
#include <string>
#include <vector>

namespace velanta::paradox {

// Collects records in memory and writes the whole family in one go: the way to make sample
// catalogues, test tables and benchmark tables. Existing files of the family are replaced.
class TableBuilder {
public:
  // Checks the definition (names, sizes, key, indexes) and derives the layout.
  static Result<TableBuilder> make(const TableSpec &definition);

  // A blank record of this table to fill in.
  RecordValues newRecord() const { return RecordValues(layout_); }

  // Appends a record; autoincrement fields left blank are numbered here; blob values go to
  // the .MB image at once (only record bytes are kept). Values were checked when they were
  // set. A duplicate primary key is reported by write().
  Status append(const RecordValues &record);

  // Writes DB, MB (if any blob field), PX (keyed) and every index, and syncs them. Other
  // index files of an older table of the same name are removed. A duplicate primary key
  // fails with kKeyViolation before anything is written.
  Status write(const std::string &dbPath, FileSystem &fs = posixFileSystem()) const;

  const TableLayout &layout() const { return *layout_; }
  std::size_t size() const { return count_; }

private:
  explicit TableBuilder(std::shared_ptr<const TableLayout> layout);

  std::shared_ptr<const TableLayout> layout_;
  std::vector<std::uint8_t> records_; // stored records, back to back
  std::size_t count_ = 0;
  std::uint32_t autoInc_ = 0;
  std::unique_ptr<MemoryStore> mb_; // plain .MB image
  std::unique_ptr<BlobWriter> blobs_;
};

// Shorthand: an empty table with this definition.
Status createTable(const std::string &dbPath, const TableSpec &definition,
                   FileSystem &fs = posixFileSystem());

} // namespace velanta::paradox
