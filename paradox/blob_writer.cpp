#include "paradox/blob_writer.h"

#include "paradox/bytes.h"

#include <algorithm>
#include <cstring>

namespace velanta::paradox {
namespace {

constexpr std::uint32_t kUnit = 4096;
constexpr std::size_t kSmallLimit = 2048; // larger values get a block of their own
constexpr int kEntries = 64;
constexpr int kFirstDataChunk = 0x150 / 16; // 21
constexpr int kChunks = 256;                // 16-byte chunks in a 4 KB block
constexpr std::size_t kCandidateLimit = 16;

Status mbCorrupt(const std::string &what) {
  return Status(ErrorCode::kMemoCorrupt, std::string(defaultMessage(ErrorCode::kMemoCorrupt)),
                {what});
}

// G and O values start with an 8-byte prefix that the leader leaves out.
std::size_t leaderSkip(FieldType type, std::string_view value) {
  return (type == FieldType::kGraphic || type == FieldType::kOle) && value.size() >= 8 ? 8 : 0;
}

} // namespace

BlobRef readBlobTrailer(const Field &field, const std::uint8_t *p) {
  const std::uint8_t *t = p + field.width - 10;
  return {bytes::getU32le(t), bytes::getU32le(t + 4), bytes::getU16le(t + 8)};
}

Result<std::string> readStoredBlob(ByteStore &mb, const Field &field, const std::uint8_t *p) {
  const BlobRef ref = readBlobTrailer(field, p);
  const auto leaderSize = static_cast<std::size_t>(field.width - 10);
  if (ref.length == 0) return std::string();
  if (!ref.external()) {
    if (ref.length > leaderSize) return mbCorrupt("значение длиннее поля без ссылки на .MB");
    return std::string(reinterpret_cast<const char *>(p), ref.length);
  }
  const std::uint64_t base = ref.offsetIndex & 0xFFFFFF00u;
  const std::uint8_t index = ref.offsetIndex & 0xFF;
  if (base < kUnit || base + kUnit > mb.size()) return mbCorrupt("ссылка на блок .MB вне файла");
  std::uint8_t head[12];
  if (Status s = mb.read(base, head); !s) return s;
  // Every length is checked against the .MB before anything is allocated.
  if (index == 0xFF) {
    if (head[0] != 2 || bytes::getU32le(head + 3) != ref.length ||
        bytes::getU16le(head + 7) != ref.modification ||
        base + 9 + static_cast<std::uint64_t>(ref.length) > mb.size())
      return mbCorrupt("блок .MB не соответствует записи");
    std::string value(ref.length, '\0');
    if (Status s = mb.read(base + 9,
                           std::span(reinterpret_cast<std::uint8_t *>(value.data()), ref.length));
        !s)
      return s;
    return value;
  }
  if (head[0] != 3 || index >= kEntries) return mbCorrupt("блок .MB не соответствует записи");
  std::uint8_t entry[5];
  if (Status s = mb.read(base + 0x0C + 5 * static_cast<std::uint64_t>(index), entry); !s) return s;
  const std::uint32_t length = entry[1] == 0 ? 0 : (entry[1] - 1u) * 16u + entry[4];
  if (entry[0] < kFirstDataChunk || entry[0] + entry[1] > kChunks || length != ref.length ||
      bytes::getU16le(entry + 2) != ref.modification)
    return mbCorrupt("элемент блока .MB не соответствует записи");
  std::string value(ref.length, '\0');
  if (Status s = mb.read(base + 16 * static_cast<std::uint64_t>(entry[0]),
                         std::span(reinterpret_cast<std::uint8_t *>(value.data()), ref.length));
      !s)
    return s;
  return value;
}

BlobWriter::BlobWriter(ByteStore &mb) : mb_(mb) {}

std::vector<std::uint8_t> BlobWriter::newHeaderBlock() {
  std::vector<std::uint8_t> h(kUnit, 0);
  h[0x00] = 0;
  bytes::putU16le(&h[0x01], 1);
  bytes::putU16le(&h[0x03], 1);
  const std::uint8_t constant[] = {0x82, 0x73, 0x02, 0x00, 0x29};
  std::memcpy(&h[0x05], constant, sizeof constant);
  bytes::putU16le(&h[0x0B], 0x1000);
  bytes::putU16le(&h[0x0D], 0x1000);
  h[0x10] = 0x10;
  bytes::putU16le(&h[0x11], 0x0040);
  bytes::putU16le(&h[0x13], 0x0800);
  bytes::putU16le(&h[0x29], 0x02A1);
  return h;
}

Status BlobWriter::scanOnce() {
  if (scanned_) return {};
  scanned_ = true;
  if (mb_.size() < kUnit) {
    const auto header = newHeaderBlock();
    return mb_.write(0, header);
  }
  std::uint8_t head[5];
  if (Status s = mb_.read(0, head); !s) return s;
  modification_ = std::max<std::uint16_t>(1, bytes::getU16le(head + 3));
  std::vector<std::uint64_t> recent;
  const std::uint64_t end = mb_.size() / kUnit * kUnit;
  for (std::uint64_t at = kUnit; at < end;) {
    std::uint8_t prefix[3];
    if (Status s = mb_.read(at, prefix); !s) return s;
    const std::uint16_t units = bytes::getU16le(prefix + 1);
    if (units == 0)
      return mbCorrupt("блок .MB со смещением " + std::to_string(at) + " нулевого размера");
    if (prefix[0] == 4)
      freeRuns_[at] = units;
    else if (prefix[0] == 3)
      recent.push_back(at);
    at += static_cast<std::uint64_t>(units) * kUnit;
  }
  for (std::size_t i = recent.size() > kCandidateLimit ? recent.size() - kCandidateLimit : 0;
       i < recent.size(); ++i)
    subBlocks_.insert(recent[i]);
  return {};
}

Result<std::uint64_t> BlobWriter::takeUnits(std::uint16_t units) {
  for (auto it = freeRuns_.begin(); it != freeRuns_.end(); ++it) {
    if (it->second < units) continue;
    const std::uint64_t offset = it->first;
    const std::uint16_t rest = static_cast<std::uint16_t>(it->second - units);
    freeRuns_.erase(it);
    if (rest > 0) {
      const std::uint64_t restAt = offset + static_cast<std::uint64_t>(units) * kUnit;
      std::uint8_t prefix[3] = {4, 0, 0};
      bytes::putU16le(prefix + 1, rest);
      if (Status s = mb_.write(restAt, prefix); !s) return s;
      freeRuns_[restAt] = rest;
    }
    return offset;
  }
  const std::uint64_t end = (mb_.size() + kUnit - 1) / kUnit * kUnit;
  // Grow the file by whole 4 KB units so its size stays a multiple of 4096.
  std::vector<std::uint8_t> zeros(static_cast<std::size_t>(units) * kUnit, 0);
  if (Status s = mb_.write(end, zeros); !s) return s;
  return end;
}

Result<std::uint32_t> BlobWriter::placeInSubBlock(std::uint64_t offset, std::string_view value,
                                                  std::uint16_t modification) {
  std::vector<std::uint8_t> block(kUnit);
  if (Status s = mb_.read(offset, block); !s) return s;
  if (block[0] != 3) return 0u;
  const int need = static_cast<int>((value.size() + 15) / 16);
  std::vector<bool> used(kChunks, false);
  int freeEntry = -1;
  for (int i = kEntries - 1; i >= 0; --i) {
    const std::uint8_t *e = &block[0x0C + 5 * i];
    if (e[0] == 0) {
      if (freeEntry < 0) freeEntry = i;
      continue;
    }
    for (int c = e[0]; c < e[0] + e[1] && c < kChunks; ++c)
      used[static_cast<std::size_t>(c)] = true;
  }
  if (freeEntry < 0) return 0u;
  int run = 0;
  for (int c = kFirstDataChunk; c < kChunks; ++c) {
    run = used[static_cast<std::size_t>(c)] ? 0 : run + 1;
    if (run < need) continue;
    const int first = c - need + 1;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(need) * 16, 0);
    std::memcpy(data.data(), value.data(), value.size());
    if (Status s = mb_.write(offset + static_cast<std::uint64_t>(first) * 16, data); !s) return s;
    std::uint8_t entry[5];
    entry[0] = static_cast<std::uint8_t>(first);
    entry[1] = static_cast<std::uint8_t>(need);
    bytes::putU16le(entry + 2, modification);
    entry[4] = static_cast<std::uint8_t>(value.size() - static_cast<std::size_t>(need - 1) * 16);
    if (Status s = mb_.write(offset + 0x0C + 5 * static_cast<std::uint64_t>(freeEntry), entry); !s)
      return s;
    return static_cast<std::uint32_t>(offset) | static_cast<std::uint32_t>(freeEntry);
  }
  return 0u;
}

Result<std::uint32_t> BlobWriter::storeSmall(std::string_view value, std::uint16_t modification) {
  for (auto it = subBlocks_.rbegin(); it != subBlocks_.rend(); ++it) {
    auto placed = placeInSubBlock(*it, value, modification);
    if (!placed) return placed.takeStatus();
    if (*placed != 0) return *placed;
  }
  auto offset = takeUnits(1);
  if (!offset) return offset.takeStatus();
  std::vector<std::uint8_t> block(kUnit, 0);
  block[0] = 3;
  bytes::putU16le(&block[1], 1);
  if (Status s = mb_.write(*offset, block); !s) return s;
  subBlocks_.insert(*offset);
  if (subBlocks_.size() > kCandidateLimit) subBlocks_.erase(subBlocks_.begin());
  auto placed = placeInSubBlock(*offset, value, modification);
  if (placed && *placed == 0) return mbCorrupt("значение не помещается в блок .MB");
  return placed;
}

Result<std::uint32_t> BlobWriter::storeLarge(std::string_view value, std::uint16_t modification) {
  const std::uint64_t total = 9 + value.size();
  if ((total + kUnit - 1) / kUnit > 0xFFFF || value.size() > 0xFFFFFFF0u)
    return Status(ErrorCode::kInvalidArgument, "Значение слишком велико для файла .MB.");
  const auto units = static_cast<std::uint16_t>((total + kUnit - 1) / kUnit);
  auto offset = takeUnits(units);
  if (!offset) return offset.takeStatus();
  std::vector<std::uint8_t> block(static_cast<std::size_t>(units) * kUnit, 0);
  block[0] = 2;
  bytes::putU16le(&block[1], units);
  bytes::putU32le(&block[3], static_cast<std::uint32_t>(value.size()));
  bytes::putU16le(&block[7], modification);
  std::memcpy(&block[9], value.data(), value.size());
  if (Status s = mb_.write(*offset, block); !s) return s;
  return static_cast<std::uint32_t>(*offset) | 0xFFu;
}

Status BlobWriter::store(const Field &field, std::string_view value, std::uint8_t *out) {
  const auto leaderSize = static_cast<std::size_t>(field.width - 10);
  std::memset(out, 0, static_cast<std::size_t>(field.width));
  if (value.empty()) return {};
  const std::size_t skip = leaderSkip(field.type, value);
  std::memcpy(out, value.data() + skip, std::min(leaderSize, value.size() - skip));
  std::uint8_t *trailer = out + leaderSize;
  if (skip == 0 && value.size() <= leaderSize) {
    bytes::putU32le(trailer + 4, static_cast<std::uint32_t>(value.size()));
    return {};
  }
  if (Status s = scanOnce(); !s) return s;
  auto where = value.size() <= kSmallLimit ? storeSmall(value, modification_)
                                           : storeLarge(value, modification_);
  if (!where) return where.takeStatus();
  bytes::putU32le(trailer, *where);
  bytes::putU32le(trailer + 4, static_cast<std::uint32_t>(value.size()));
  bytes::putU16le(trailer + 8, modification_);
  return {};
}

Status BlobWriter::release(const BlobRef &ref) {
  if (!ref.external()) return {};
  if (Status s = scanOnce(); !s) return s;
  const std::uint64_t base = ref.offsetIndex & 0xFFFFFF00u;
  const std::uint8_t index = ref.offsetIndex & 0xFF;
  std::uint8_t prefix[3];
  if (base < kUnit || base >= mb_.size()) return mbCorrupt("ссылка на блок .MB вне файла");
  if (Status s = mb_.read(base, prefix); !s) return s;
  if (index == 0xFF) {
    if (prefix[0] != 2) return mbCorrupt("ссылка на блок .MB неверного типа");
    const std::uint8_t freeType = 4;
    freeRuns_[base] = bytes::getU16le(prefix + 1);
    return mb_.write(base, std::span(&freeType, 1));
  }
  if (prefix[0] != 3 || index >= kEntries) return mbCorrupt("ссылка на блок .MB неверного типа");
  const std::uint8_t zero = 0;
  if (Status s =
          mb_.write(base + 0x0C + 5 * static_cast<std::uint64_t>(index), std::span(&zero, 1));
      !s)
    return s;
  subBlocks_.insert(base);
  if (subBlocks_.size() > kCandidateLimit) subBlocks_.erase(subBlocks_.begin());
  return {};
}

} // namespace velanta::paradox
