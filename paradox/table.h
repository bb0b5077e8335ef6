// Opening a Paradox table: the public entry of the engine.
//
//   OpenOptions options;
//   options.passwords = {"secret"};
//   auto table = Table::open("/data", "base.db", options);   // names matched without case
//   if (!table && table.status().code() == ErrorCode::kTableReadOnly) { ...retry kReadOnly... }
//   auto cursor = (*table)->openCursor("TipGlavno");
//   (*cursor)->setRange(Text{tip}, Text{tip});                // tip: cp1251 bytes
//   for (auto s = (*cursor)->first(); s && !(*cursor)->eof(); s = (*cursor)->next())
//     use((*cursor)->value("Name"));                          // each record once
//
// A Table and its cursors belong to one thread; cursors must not outlive their table.
// Plain files are read through a memory mapping, encrypted ones through a block cache.
// Text is bytes throughout: field names and alpha values are handed out in code page 1251
// (an OEM table's bytes are converted, see OpenOptions::codePage), and texts given to the
// engine (range bounds) are expected in 1251 too.
#pragma once

#include "paradox/cursor.h"
#include "paradox/field.h"
#include "paradox/file.h"
#include "paradox/status.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velanta::paradox {

enum class AccessMode {
  kReadWrite, // shared reading and writing; fails with kTableReadOnly / kReadOnlyDirectory
              // when the files or their directory cannot be written, so the caller can retry
  kReadOnly,  // shared reading only
};

struct OpenOptions {
  AccessMode access = AccessMode::kReadWrite;
  // Passwords to try on an encrypted table, in order (bytes as the table stores them).
  // None matching: kInsufficientTableRights.
  std::vector<std::string> passwords;
  // nullptr: the real file system.
  FileSystem *fileSystem = nullptr;
  // -1: the table's own rule (ANSI drivers and code page 0 pass bytes unchanged; OEM drivers,
  // code pages 437/850/852/865/866, are converted to 1251). 0: never convert. 437, 850, 852,
  // 865, 866: convert from that code page. Any other value: bytes unchanged.
  int codePage = -1;
  // Data blocks kept in memory per open file.
  std::size_t cacheBlocks = 64;
};

struct TableInfo {
  std::string fileName;    // the .DB file's name as found in the directory
  int fileVersion = 0;     // header byte 0x39 (3 … 12)
  std::string versionText; // "3.0", "3.5", "4.x", "5.x", "7.x"
  bool keyed = false;
  int keyFieldCount = 0; // leading fields forming the primary key
  int blockSize = 0;
  std::uint32_t records = 0;
  int codePage = 0;        // as the header names it (0 when it names none)
  int textCodePage = 0;    // code page the engine converts text from (0: none)
  int sortOrder = 0;       // language-driver id byte
  std::string sortOrderId; // "ascii", "ANSIINTL", "ancyrr", …
  bool encrypted = false;
  bool hasBlobFile = false; // a .MB was found
  std::uint32_t autoIncrement = 0;
};

struct IndexInfo {
  std::string name;             // the XG's stored name, or the field's name for .Xnn
  std::string fileName;         // "BASE.XG0", "CUSTOMER.X06"
  bool composite = false;       // .XGn
  std::vector<int> keyFields;   // 0-based table field numbers, in key order
  std::vector<bool> descending; // per key field
  bool caseInsensitive = false;
  bool maintained = false;
  // Stamps, record counts and companion tree agree with the table. When false the cursor
  // orders by an index built in memory from the data instead.
  bool inStep = false;
  std::string problem; // why not in step (Russian, empty when in step)
};

class TableImpl;

class Table {
public:
  // Opens `name` (e.g. "base.db") in `directory`, matching it and its companion files
  // (.MB, .PX, .Xnn/.Ynn, .XGn/.YGn) without regard to case.
  static Result<std::unique_ptr<Table>> open(const std::string &directory, const std::string &name,
                                             const OpenOptions &options = {});
  ~Table();
  Table(const Table &) = delete;
  Table &operator=(const Table &) = delete;

  bool readOnly() const;
  const TableInfo &info() const;
  const std::vector<Field> &fields() const;
  // 0-based field number by name (case-insensitive for Latin and Cyrillic 1251), -1 if none.
  int fieldIndex(std::string_view name) const;
  // Secondary indexes found beside the table.
  const std::vector<IndexInfo> &indexes() const;

  // A cursor over the table: with an empty name in the table's own order (primary key order
  // for a keyed table, the data-block chain otherwise), else in the named secondary index's
  // order (kNoSuchIndex when there is none by that name, compared without case).
  Result<std::unique_ptr<Cursor>> openCursor(std::string_view indexName = {});

  // True when the data file's header differs from what was read at opening: another
  // writer has changed the table since, and this table (with its cursors) should be
  // reopened to see it. One small read.
  Result<bool> changedSinceOpening();

  TableImpl &impl() { return *impl_; }

private:
  explicit Table(std::unique_ptr<TableImpl> impl);
  std::unique_ptr<TableImpl> impl_;
};

} // namespace velanta::paradox
