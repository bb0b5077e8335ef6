// The definition of a table as the writer needs it: fields, primary key, maintained secondary
// indexes, language driver and password. TableSpec is what a caller gives to create a table;
// TableLayout is the derived byte layout (offsets, key parts) used by every writing routine.
#pragma once

#include "paradox/field.h"
#include "paradox/key_order.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velanta::paradox {

struct FieldSpec {
  std::string name;
  FieldType type = FieldType::kAlpha;
  // Alpha/Bytes: length; blobs: leader + 10 (default 11 for memos); BCD: decimals. Others: 0.
  int size = 0;
};

struct IndexSpec {
  std::string name;                // stored in the .XGn header
  std::vector<std::string> fields; // key fields, in index order
  bool caseInsensitive = false;
};

struct TableSpec {
  std::vector<FieldSpec> fields;
  int keyFields = 0; // leading fields forming the primary key; 0 = unkeyed table
  std::vector<IndexSpec> indexes;
  int codePage = 1251;
  std::string sortOrder = "ancyrr"; // language driver id
  std::string password;             // empty = not encrypted
  int blockSizeKb = 2;              // 1, 2, 4, 8, 16 or 32
};

// Whether a descriptor's size byte is one the writer can lay out safely (blob fields hold at
// least their 10-byte trailer, fixed-size types their exact size).
bool fieldSizeWritable(FieldType type, int size);

// Byte id of a language driver (header 0x29); 0 for unknown ids.
std::uint8_t sortOrderByte(const std::string &sortOrderId);

// A maintained secondary index (.XGn/.YGn, or .Xnn/.Ynn for an index named after its single
// field): which table fields it holds and how its records sort.
struct IndexLayout {
  std::string name;
  bool composite = true;   // XG pair; false: single-field Xnn pair
  int number = 0;          // n of XGn, or field position of Xnn
  std::vector<int> fields; // 0-based table field positions of the indexed fields
  bool caseInsensitive = false;
  int recordSize = 0;            // indexed fields + primary key + Blk Num (2)
  int sortKeySize = 0;           // recordSize - 2
  std::vector<KeyPart> keyParts; // over the index record
};

struct TableLayout {
  std::vector<Field> fields;
  int recordSize = 0;
  int keyFields = 0;
  int keySize = 0; // bytes of the primary key (leading fields)
  std::vector<KeyPart> keyParts;
  std::vector<IndexLayout> indexes;
  int codePage = 1251;
  std::string sortOrder;
  std::uint32_t checkValue = 0; // password check value, 0 = plain
  int blockSize = 2048;
  KeyOrder order{"ascii"};

  int fieldIndex(std::string_view name) const; // -1 when absent (case-insensitive)
  bool keyed() const { return keyFields > 0; }
  bool hasBlobs() const;
};

// Checks the definition and derives the layout; on failure returns null and sets error.
std::shared_ptr<const TableLayout> makeLayout(const TableSpec &definition, std::string *error);

// Extracts an index record (indexed fields, primary key, Blk Num) from a table record.
std::vector<std::uint8_t> indexRecord(const TableLayout &table, const IndexLayout &index,
                                      const std::uint8_t *record, int blockNumber);

} // namespace velanta::paradox
