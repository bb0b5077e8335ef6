// The header shared by every file of a table's family (.DB, .PX, .Xnn/.Ynn, .XGn/.YGn): the
// fixed zone, the data header of format 4.0 and later, and the variable zone (field
// descriptors, names, field numbers, sort-order id, index name). parseHeader() reads it;
// serializeHeader() writes the model back, keeping unknown bytes from the bytes it was read
// from, so a writer can change a few fields and store the header again.
#pragma once

#include "paradox/field.h"
#include "paradox/status.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velanta::paradox {

enum class FileType : std::uint8_t {
  kKeyedTable = 0,
  kPrimaryIndex = 1,
  kUnkeyedTable = 2,
  kFieldIndexNonMaintained = 3,     // .Xnn
  kFieldIndexTree = 4,              // .Ynn
  kFieldIndex = 5,                  // .Xnn, maintained
  kCompositeIndexNonMaintained = 6, // .XGn
  kCompositeIndexTree = 7,          // .YGn
  kCompositeIndex = 8,              // .XGn, maintained
};

// The fixed zone is 0x58 bytes; with the data header the variable zone starts at 0x78.
inline constexpr std::size_t kFixedHeaderSize = 0x58;
inline constexpr std::size_t kDataHeaderEnd = 0x78;
// Bytes the reader needs before it can learn headerSize.
inline constexpr std::size_t kMinimumHeaderBytes = kFixedHeaderSize;

struct FieldDescriptor {
  std::uint8_t type = 0; // stored type code (may be unknown)
  std::uint8_t size = 0;
};

struct Header {
  // Fixed zone (offsets in comments).
  std::uint16_t recordSize = 0;         // 00
  std::uint16_t headerSize = 0;         // 02
  std::uint8_t fileType = 0;            // 04
  std::uint8_t blockSizeCode = 0;       // 05
  std::uint32_t numRecords = 0;         // 06
  std::uint16_t usedBlocks = 0;         // 0A
  std::uint16_t fileBlocks = 0;         // 0C
  std::uint16_t firstBlock = 0;         // 0E
  std::uint16_t lastBlock = 0;          // 10
  std::uint16_t sequence = 0;           // 12
  std::uint8_t modifiedFlags1 = 0;      // 14
  std::uint8_t indexFieldNumber = 0;    // 15
  std::uint16_t indexRoot = 0;          // 1E
  std::uint8_t indexLevels = 0;         // 20
  std::int16_t numFields = 0;           // 21
  std::int16_t numKeyFields = 0;        // 23
  std::uint32_t encryption1 = 0;        // 25
  std::uint8_t sortOrder = 0;           // 29
  std::uint8_t modifiedFlags2 = 0;      // 2A
  std::uint8_t indexStamp = 0;          // 2C
  std::uint8_t changeCount1 = 0;        // 2D
  std::uint8_t changeCount2 = 0;        // 2E
  std::uint8_t writeProtected = 0;      // 38
  std::uint8_t fileVersion = 0;         // 39
  std::uint16_t maxBlocks = 0;          // 3A
  std::uint8_t auxPasswords = 0;        // 3D
  std::uint32_t autoIncrement = 0;      // 49
  std::uint16_t firstFreeBlock = 0;     // 4D
  std::uint8_t indexUpdateRequired = 0; // 4F
  std::uint16_t realHeaderSize = 0;     // 51
  std::uint8_t indexFlags = 0;          // 55 (X/XG option bits; DB: referential integrity)

  // Data header (format 4.0+ .DB/.Xnn/.XGn only).
  bool hasDataHeader = false;
  std::uint16_t versionWord = 0;    // 58, 5A
  std::uint32_t encryption2 = 0;    // 5C
  std::uint32_t fileUpdateTime = 0; // 60
  std::uint16_t hiFieldId = 0;      // 64
  std::uint16_t codePage = 0;       // 6A
  std::uint16_t changeCount4 = 0;   // 70

  // Variable zone.
  std::vector<FieldDescriptor> descriptors;
  std::string tableName;
  std::vector<std::string> fieldNames;     // empty for .PX/.Ynn/.YGn
  std::vector<std::uint16_t> fieldNumbers; // empty for .PX/.Ynn/.YGn and 3.x tables
  std::string sortOrderId;                 // "ascii", "ANSIINTL", "ancyrr", …
  std::string indexName;                   // .XGn only

  // The header bytes as read; serializeHeader() copies every byte it does not model from here.
  std::vector<std::uint8_t> raw;

  int blockSize() const { return blockSizeCode * 1024; }
  FileType type() const { return static_cast<FileType>(fileType); }
  bool isTable() const { return fileType == 0 || fileType == 2; }
  bool isKeyed() const { return fileType == 0; }
  bool isTree() const { return fileType == 1 || fileType == 4 || fileType == 7; }
  // .DB, .Xnn, .XGn: files that carry field names.
  bool hasFieldNames() const { return !isTree(); }
  bool isMaintainedIndex() const { return fileType == 5 || fileType == 8; }
  // The password check value; 0 when the file is not encrypted.
  std::uint32_t checkValue() const;
  // Where the variable zone starts.
  std::size_t variableZoneStart() const {
    return hasDataHeader ? kDataHeaderEnd : kFixedHeaderSize;
  }
  // 79 bytes, or 261 for format 7 files.
  std::size_t tableNameSize() const { return fileVersion >= 12 ? 261 : 79; }
};

// Parses a header. `bytes` holds the start of the file: at least headerSize bytes (fewer only
// when the file itself is shorter, which fails). Checks file type, block size code, version,
// record size and that the variable zone fits; fails with kHeaderCorrupt naming `fileName`.
Result<Header> parseHeader(std::span<const std::uint8_t> bytes, const std::string &fileName);

// Reads the headerSize field from the first bytes (0 when too short).
std::uint16_t peekHeaderSize(std::span<const std::uint8_t> bytes);

// Writes the model back as headerSize bytes: modelled fields from the struct, the variable zone
// rebuilt (and for format 4.0+ its offsets at 0x51/0x66/0x68/0x6E recomputed), every other
// byte from `raw` (zero when raw is shorter).
std::vector<std::uint8_t> serializeHeader(const Header &header);

// The consistency stamp a .PX/.Ynn/.YGn must carry at 0x2C for its parent's header: the 8-bit
// one's-complement sum of parent 0x2D, parent 0x29 and 2 when 0x29 is not zero.
std::uint8_t expectedIndexStamp(const Header &parent);

} // namespace velanta::paradox
