// Headers of new family members (.DB, .PX, .Xnn/.XGn, .Ynn/.YGn) with the values the original
// engine's level-7 files carry, and the counters every change rewrites.
#pragma once

#include "paradox/table_spec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velanta::paradox {

// The header words a change of the file's blocks updates (all files of the family).
struct BlockCounters {
  std::uint32_t records = 0; // DB/X: live records; PX/Y: entries in all index blocks
  std::uint16_t usedBlocks = 0;
  std::uint16_t fileBlocks = 0;
  std::uint16_t firstBlock = 0;
  std::uint16_t lastBlock = 0;
  std::uint16_t firstFreeBlock = 0;
  std::uint16_t rootBlock = 1; // PX/Y only
  std::uint8_t levels = 0;     // PX/Y only
};

BlockCounters readCounters(const std::uint8_t *header, bool tree);
void writeCounters(std::uint8_t *header, const BlockCounters &counters, bool tree);

// Consistency stamp of a .PX/.Ynn/.YGn from its parent's header bytes 0x2D and 0x29.
std::uint8_t treeStamp(std::uint8_t parentChangeCount, std::uint8_t sortOrder);

// A new .DB header (0x800 bytes), empty table.
std::vector<std::uint8_t> buildTableHeader(const TableLayout &table, const std::string &tableName);
// A new .Xnn/.XGn header for one index of the table, empty.
std::vector<std::uint8_t> buildIndexHeader(const TableLayout &table, const IndexLayout &index,
                                           const std::string &tableName,
                                           const std::vector<std::uint8_t> &tableHeader);
// A new .PX (parent = the .DB header) or .Ynn/.YGn (parent = the X header), empty.
std::vector<std::uint8_t> buildTreeHeader(const std::vector<Field> &keyFields, int blockSize,
                                          const std::string &tableName,
                                          const std::vector<std::uint8_t> &parentHeader);

// Fields of the primary key / of an index's sort key, as tree headers describe them.
std::vector<Field> primaryKeyFields(const TableLayout &table);
std::vector<Field> indexRecordFields(const TableLayout &table, const IndexLayout &index);

// Family file names: "base.db" -> "base.PX", "base.XG0", "base.Y03"...; the extension's case
// follows the table's (lower-case ".db" gives ".px").
std::string siblingPath(const std::string &dbPath, const std::string &upperExtension);
std::string indexDataExtension(const IndexLayout &index); // "XG0" or "X03"
std::string indexTreeExtension(const IndexLayout &index); // "YG0" or "Y03"

} // namespace velanta::paradox
