// Field types and the description of one field of a table (or of an index record).
#pragma once

#include <cstdint>
#include <string>

namespace velanta::paradox {

// Type codes as stored in the header's field descriptors.
enum class FieldType : std::uint8_t {
  kAlpha = 0x01,
  kDate = 0x02,
  kShort = 0x03,
  kLong = 0x04,
  kMoney = 0x05,
  kNumber = 0x06,
  kLogical = 0x09,
  kMemo = 0x0C,
  kBinary = 0x0D,
  kFormattedMemo = 0x0E,
  kOle = 0x0F,
  kGraphic = 0x10,
  kTime = 0x14,
  kTimestamp = 0x15,
  kAutoIncrement = 0x16,
  kBcd = 0x17,
  kBytes = 0x18,
};

// Whether a stored type code is one the engine knows. Unknown codes are kept and read as bytes.
bool isKnownFieldType(std::uint8_t code);
// The one-letter name users know the type by ('A', 'N', '$', '#', '+', '@', …), '?' if unknown.
char fieldTypeLetter(FieldType type);
// M, B, F, O, G: a value that may live in the .MB file.
bool isBlobType(FieldType type);
// Bytes the field occupies in a record: the descriptor's size, except BCD (always 17).
int storedFieldSize(FieldType type, int descriptorSize);

struct Field {
  std::string name; // bytes as stored, converted to code page 1251 when the table is OEM
  FieldType type = FieldType::kAlpha;
  int size = 0;   // descriptor size: alpha length, BCD decimals, blob leader + 10, …
  int offset = 0; // position of the value in the record
  int width = 0;  // bytes in the record (storedFieldSize)
};

} // namespace velanta::paradox
