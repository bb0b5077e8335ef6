#include "paradox/field.h"

namespace velanta::paradox {

bool isKnownFieldType(std::uint8_t code) {
  switch (code) {
  case 0x01:
  case 0x02:
  case 0x03:
  case 0x04:
  case 0x05:
  case 0x06:
  case 0x09:
  case 0x0C:
  case 0x0D:
  case 0x0E:
  case 0x0F:
  case 0x10:
  case 0x14:
  case 0x15:
  case 0x16:
  case 0x17:
  case 0x18:
    return true;
  default:
    return false;
  }
}

char fieldTypeLetter(FieldType type) {
  switch (type) {
  case FieldType::kAlpha:
    return 'A';
  case FieldType::kDate:
    return 'D';
  case FieldType::kShort:
    return 'S';
  case FieldType::kLong:
    return 'I';
  case FieldType::kMoney:
    return '$';
  case FieldType::kNumber:
    return 'N';
  case FieldType::kLogical:
    return 'L';
  case FieldType::kMemo:
    return 'M';
  case FieldType::kBinary:
    return 'B';
  case FieldType::kFormattedMemo:
    return 'F';
  case FieldType::kOle:
    return 'O';
  case FieldType::kGraphic:
    return 'G';
  case FieldType::kTime:
    return 'T';
  case FieldType::kTimestamp:
    return '@';
  case FieldType::kAutoIncrement:
    return '+';
  case FieldType::kBcd:
    return '#';
  case FieldType::kBytes:
    return 'Y';
  }
  return '?';
}

bool isBlobType(FieldType type) {
  switch (type) {
  case FieldType::kMemo:
  case FieldType::kBinary:
  case FieldType::kFormattedMemo:
  case FieldType::kOle:
  case FieldType::kGraphic:
    return true;
  default:
    return false;
  }
}

int storedFieldSize(FieldType type, int descriptorSize) {
  return type == FieldType::kBcd ? 17 : descriptorSize;
}

} // namespace velanta::paradox
