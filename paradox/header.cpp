#include "paradox/header.h"

#include "paradox/bytes.h"

#include <algorithm>
#include <cstring>

namespace velanta::paradox {
namespace {

using bytes::getU16le;
using bytes::getU32le;
using bytes::putU16le;
using bytes::putU32le;

Status corrupt(const std::string &fileName, const std::string &why) {
  return Status::error(ErrorCode::kHeaderCorrupt, {fileName, why});
}

// Reads a NUL-terminated string at pos, bounded by end; returns false when no NUL is found.
bool readCString(std::span<const std::uint8_t> bytes, std::size_t &pos, std::size_t end,
                 std::string &out) {
  const std::size_t start = pos;
  while (pos < end && bytes[pos] != 0)
    ++pos;
  if (pos >= end) return false;
  out.assign(reinterpret_cast<const char *>(bytes.data() + start), pos - start);
  ++pos;
  return true;
}

bool isTreeType(std::uint8_t type) {
  return type == 1 || type == 4 || type == 7;
}

} // namespace

std::uint32_t Header::checkValue() const {
  if (hasDataHeader) return encryption2;
  return encryption1 == 0xFF00FF00u ? 0 : encryption1;
}

std::uint16_t peekHeaderSize(std::span<const std::uint8_t> bytes) {
  return bytes.size() < 4 ? 0 : getU16le(bytes.data() + 2);
}

std::uint8_t expectedIndexStamp(const Header &parent) {
  unsigned sum = parent.changeCount1;
  const auto add = [&sum](unsigned value) {
    sum += value;
    if (sum > 255) sum = sum - 256 + 1;
  };
  add(parent.sortOrder);
  add(parent.sortOrder != 0 ? 2 : 0);
  return static_cast<std::uint8_t>(sum);
}

Result<Header> parseHeader(std::span<const std::uint8_t> bytes, const std::string &fileName) {
  if (bytes.size() < kFixedHeaderSize) return corrupt(fileName, "файл короче заголовка");
  const std::uint8_t *p = bytes.data();
  Header h;
  h.recordSize = getU16le(p + 0x00);
  h.headerSize = getU16le(p + 0x02);
  h.fileType = p[0x04];
  h.blockSizeCode = p[0x05];
  h.numRecords = getU32le(p + 0x06);
  h.usedBlocks = getU16le(p + 0x0A);
  h.fileBlocks = getU16le(p + 0x0C);
  h.firstBlock = getU16le(p + 0x0E);
  h.lastBlock = getU16le(p + 0x10);
  h.sequence = getU16le(p + 0x12);
  h.modifiedFlags1 = p[0x14];
  h.indexFieldNumber = p[0x15];
  h.indexRoot = getU16le(p + 0x1E);
  h.indexLevels = p[0x20];
  h.numFields = static_cast<std::int16_t>(getU16le(p + 0x21));
  h.numKeyFields = static_cast<std::int16_t>(getU16le(p + 0x23));
  h.encryption1 = getU32le(p + 0x25);
  h.sortOrder = p[0x29];
  h.modifiedFlags2 = p[0x2A];
  h.indexStamp = p[0x2C];
  h.changeCount1 = p[0x2D];
  h.changeCount2 = p[0x2E];
  h.writeProtected = p[0x38];
  h.fileVersion = p[0x39];
  h.maxBlocks = getU16le(p + 0x3A);
  h.auxPasswords = p[0x3D];
  h.autoIncrement = getU32le(p + 0x49);
  h.firstFreeBlock = getU16le(p + 0x4D);
  h.indexUpdateRequired = p[0x4F];
  h.realHeaderSize = getU16le(p + 0x51);
  h.indexFlags = p[0x55];

  if (h.fileType > 8)
    return corrupt(fileName, "неизвестный тип файла " + std::to_string(h.fileType));
  if (h.blockSizeCode < 1 || h.blockSizeCode > 32)
    return corrupt(fileName, "недопустимый размер блока");
  if (h.fileVersion < 3 || h.fileVersion > 12)
    return corrupt(fileName, "неизвестная версия формата " + std::to_string(h.fileVersion));
  if (h.recordSize == 0 || h.recordSize > h.blockSize() - 6)
    return corrupt(fileName, "недопустимый размер записи");
  if (h.headerSize < kFixedHeaderSize) return corrupt(fileName, "недопустимый размер заголовка");
  if (bytes.size() < h.headerSize) return corrupt(fileName, "файл короче заголовка");
  if (h.numFields <= 0 || h.numKeyFields < 0 || h.numKeyFields > h.numFields)
    return corrupt(fileName, "недопустимое число полей");

  const bool tree = isTreeType(h.fileType);
  h.hasDataHeader = !tree && h.fileVersion >= 5 && h.headerSize >= kDataHeaderEnd;
  if (h.hasDataHeader) {
    h.versionWord = getU16le(p + 0x58);
    h.encryption2 = getU32le(p + 0x5C);
    h.fileUpdateTime = getU32le(p + 0x60);
    h.hiFieldId = getU16le(p + 0x64);
    h.codePage = getU16le(p + 0x6A);
    h.changeCount4 = getU16le(p + 0x70);
  }

  const std::size_t end = h.headerSize;
  const auto fieldCount = static_cast<std::size_t>(h.numFields);
  std::size_t pos = h.variableZoneStart();
  if (pos + 2 * fieldCount + 4 > end)
    return corrupt(fileName, "описания полей не помещаются в заголовок");
  h.descriptors.resize(fieldCount);
  for (auto &descriptor : h.descriptors) {
    descriptor.type = p[pos];
    descriptor.size = p[pos + 1];
    pos += 2;
  }
  pos += 4;                         // run-time pointer to the table name
  if (!tree) pos += 4 * fieldCount; // run-time pointers to the field names
  const std::size_t nameSize = h.tableNameSize();
  if (pos + nameSize > end) {
    if (tree) {
      h.raw.assign(bytes.begin(), bytes.begin() + h.headerSize);
      return h; // the name of an index tree's table is never needed
    }
    return corrupt(fileName, "имя таблицы не помещается в заголовок");
  }
  h.tableName.assign(reinterpret_cast<const char *>(p + pos),
                     ::strnlen(reinterpret_cast<const char *>(p + pos), nameSize));
  pos += nameSize;

  if (!tree) {
    h.fieldNames.resize(fieldCount);
    for (auto &name : h.fieldNames)
      if (!readCString(bytes, pos, end, name))
        return corrupt(fileName, "имена полей не помещаются в заголовок");
    if (h.hasDataHeader) {
      std::size_t numbersAt = kFixedHeaderSize + getU16le(p + 0x66);
      if (getU16le(p + 0x66) == 0 || numbersAt + 2 * fieldCount > end) numbersAt = pos;
      if (numbersAt + 2 * fieldCount <= end) {
        h.fieldNumbers.resize(fieldCount);
        for (std::size_t i = 0; i < fieldCount; ++i)
          h.fieldNumbers[i] = getU16le(p + numbersAt + 2 * i);
        pos = numbersAt + 2 * fieldCount;
      }
      std::size_t sortAt = kFixedHeaderSize + getU16le(p + 0x6E);
      if (getU16le(p + 0x6E) == 0 || sortAt >= end) sortAt = pos;
      if (readCString(bytes, sortAt, end, h.sortOrderId)) pos = sortAt;
      if (h.fileType == 6 || h.fileType == 8) {
        std::size_t nameAt = kFixedHeaderSize + getU16le(p + 0x68);
        if (getU16le(p + 0x68) == 0 || nameAt >= end) nameAt = pos;
        readCString(bytes, nameAt, end, h.indexName);
      }
    }
  }
  h.raw.assign(bytes.begin(), bytes.begin() + h.headerSize);
  return h;
}

std::vector<std::uint8_t> serializeHeader(const Header &h) {
  const std::size_t size = std::max<std::size_t>(h.headerSize, kFixedHeaderSize);
  std::vector<std::uint8_t> out(size, 0);
  std::copy_n(h.raw.begin(), std::min(h.raw.size(), size), out.begin());
  std::uint8_t *p = out.data();
  putU16le(p + 0x00, h.recordSize);
  putU16le(p + 0x02, h.headerSize);
  p[0x04] = h.fileType;
  p[0x05] = h.blockSizeCode;
  putU32le(p + 0x06, h.numRecords);
  putU16le(p + 0x0A, h.usedBlocks);
  putU16le(p + 0x0C, h.fileBlocks);
  putU16le(p + 0x0E, h.firstBlock);
  putU16le(p + 0x10, h.lastBlock);
  putU16le(p + 0x12, h.sequence);
  p[0x14] = h.modifiedFlags1;
  p[0x15] = h.indexFieldNumber;
  putU16le(p + 0x1E, h.indexRoot);
  p[0x20] = h.indexLevels;
  putU16le(p + 0x21, static_cast<std::uint16_t>(h.numFields));
  putU16le(p + 0x23, static_cast<std::uint16_t>(h.numKeyFields));
  putU32le(p + 0x25, h.encryption1);
  p[0x29] = h.sortOrder;
  p[0x2A] = h.modifiedFlags2;
  p[0x2C] = h.indexStamp;
  p[0x2D] = h.changeCount1;
  p[0x2E] = h.changeCount2;
  p[0x38] = h.writeProtected;
  p[0x39] = h.fileVersion;
  putU16le(p + 0x3A, h.maxBlocks);
  p[0x3D] = h.auxPasswords;
  putU32le(p + 0x49, h.autoIncrement);
  putU16le(p + 0x4D, h.firstFreeBlock);
  p[0x4F] = h.indexUpdateRequired;
  p[0x55] = h.indexFlags;

  const bool tree = h.isTree();
  const bool dataHeader = h.hasDataHeader && size >= kDataHeaderEnd;
  if (dataHeader) {
    putU16le(p + 0x58, h.versionWord);
    putU16le(p + 0x5A, h.versionWord);
    putU32le(p + 0x5C, h.encryption2);
    putU32le(p + 0x60, h.fileUpdateTime);
    putU16le(p + 0x64, h.hiFieldId);
    putU16le(p + 0x6A, h.codePage);
    putU16le(p + 0x70, h.changeCount4);
  }

  // Variable zone: rebuilt in full; the run-time pointers are kept from raw when the layout
  // before them did not move.
  const std::size_t start = dataHeader ? kDataHeaderEnd : kFixedHeaderSize;
  const std::size_t fieldCount = h.descriptors.size();
  const bool sameLayout =
      h.raw.size() >= kFixedHeaderSize + 0x30 &&
      static_cast<std::size_t>(static_cast<std::int16_t>(getU16le(h.raw.data() + 0x21))) ==
          fieldCount;
  std::vector<std::uint8_t> zone;
  for (const auto &descriptor : h.descriptors) {
    zone.push_back(descriptor.type);
    zone.push_back(descriptor.size);
  }
  const std::size_t pointerBytes = 4 + (tree ? 0 : 4 * fieldCount);
  const std::size_t pointersAt = start + zone.size();
  for (std::size_t i = 0; i < pointerBytes; ++i)
    zone.push_back(sameLayout && pointersAt + i < h.raw.size() ? h.raw[pointersAt + i] : 0);
  const std::size_t nameSize = h.tableNameSize();
  for (std::size_t i = 0; i < nameSize; ++i)
    zone.push_back(i < h.tableName.size() ? static_cast<std::uint8_t>(h.tableName[i]) : 0);
  std::size_t numbersOffset = 0, sortOffset = 0, indexNameOffset = 0;
  if (!tree) {
    for (const auto &name : h.fieldNames) {
      zone.insert(zone.end(), name.begin(), name.end());
      zone.push_back(0);
    }
    if (!h.fieldNumbers.empty()) {
      numbersOffset = start + zone.size();
      for (const std::uint16_t number : h.fieldNumbers) {
        zone.push_back(static_cast<std::uint8_t>(number));
        zone.push_back(static_cast<std::uint8_t>(number >> 8));
      }
    }
    if (dataHeader) {
      sortOffset = start + zone.size();
      zone.insert(zone.end(), h.sortOrderId.begin(), h.sortOrderId.end());
      zone.push_back(0);
      if (h.fileType == 6 || h.fileType == 8) {
        indexNameOffset = start + zone.size();
        zone.insert(zone.end(), h.indexName.begin(), h.indexName.end());
        zone.push_back(0);
      }
    }
  }
  const std::size_t zoneEnd = std::min(size, start + zone.size());
  // In format 4.0+ files everything after the used area is zero; older files may carry a few
  // undecoded bytes there, which stay as they were.
  const std::size_t clearEnd = dataHeader ? size : zoneEnd;
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(start),
            out.begin() + static_cast<std::ptrdiff_t>(clearEnd), 0);
  std::copy_n(zone.begin(), zoneEnd - start, out.begin() + static_cast<std::ptrdiff_t>(start));
  if (dataHeader) {
    putU16le(p + 0x66, static_cast<std::uint16_t>(numbersOffset - kFixedHeaderSize));
    putU16le(p + 0x6E, static_cast<std::uint16_t>(sortOffset - kFixedHeaderSize));
    if (indexNameOffset != 0)
      putU16le(p + 0x68, static_cast<std::uint16_t>(indexNameOffset - kFixedHeaderSize));
    putU16le(p + 0x51, static_cast<std::uint16_t>(zoneEnd));
  } else {
    putU16le(p + 0x51, h.realHeaderSize);
  }
  return out;
}

} // namespace velanta::paradox
