#include "paradox/tree_builder.h"

#include "paradox/bytes.h"

#include <algorithm>
#include <cstring>

namespace velanta::paradox {

std::vector<std::uint8_t> makeDataBlock(int blockSize, std::uint16_t next, std::uint16_t prev,
                                        const std::uint8_t *records, int count, int recordSize) {
  std::vector<std::uint8_t> block(static_cast<std::size_t>(blockSize), 0);
  bytes::putU16le(&block[0], next);
  bytes::putU16le(&block[2], prev);
  bytes::putU16le(&block[4], static_cast<std::uint16_t>((count - 1) * recordSize));
  if (count > 0) std::memcpy(&block[6], records, static_cast<std::size_t>(count * recordSize));
  return block;
}

int blockRecordCount(const std::uint8_t *block, int recordSize, int blockSize) {
  const int lastOffset = bytes::getS16le(block + 4);
  if (lastOffset < 0 || recordSize <= 0) return 0;
  const int count = lastOffset / recordSize + 1;
  const int capacity = (blockSize - 6) / recordSize;
  return std::min(count, capacity);
}

TreeImage buildTree(const std::vector<TreeEntry> &level1, int keySize, int blockSize) {
  TreeImage image;
  const int entrySize = keySize + 6;
  const auto capacity = static_cast<std::size_t>((blockSize - 6) / entrySize);
  if (level1.empty()) {
    image.counters.rootBlock = 1;
    return image;
  }
  std::vector<TreeEntry> level = level1;
  int levels = 0;
  std::uint32_t entries = 0;
  for (;;) {
    ++levels;
    entries += static_cast<std::uint32_t>(level.size());
    std::vector<TreeEntry> upper;
    for (std::size_t start = 0; start < level.size(); start += capacity) {
      const std::size_t end = std::min(level.size(), start + capacity);
      std::vector<std::uint8_t> records((end - start) * static_cast<std::size_t>(entrySize));
      std::uint32_t total = 0;
      for (std::size_t i = start; i < end; ++i) {
        std::uint8_t *e = records.data() + (i - start) * static_cast<std::size_t>(entrySize);
        std::memcpy(e, level[i].key.data(), static_cast<std::size_t>(keySize));
        encodeShort(e + keySize, level[i].block);
        encodeShort(e + keySize + 2, level[i].count);
        encodeShort(e + keySize + 4, 0);
        total += level[i].count;
      }
      const auto number = static_cast<std::uint16_t>(image.blocks.size() + 1);
      image.blocks.push_back(
          makeDataBlock(blockSize, 0, 0, records.data(), static_cast<int>(end - start), entrySize));
      upper.push_back({level[start].key, number, total});
    }
    if (upper.size() == 1) {
      image.counters.rootBlock = upper[0].block;
      break;
    }
    level = std::move(upper);
  }
  // All index blocks form one chain in allocation order.
  const auto n = static_cast<std::uint16_t>(image.blocks.size());
  for (std::uint16_t b = 1; b <= n; ++b) {
    bytes::putU16le(&image.blocks[b - 1][0], b < n ? static_cast<std::uint16_t>(b + 1) : 0);
    bytes::putU16le(&image.blocks[b - 1][2], static_cast<std::uint16_t>(b - 1));
  }
  image.counters.records = entries;
  image.counters.usedBlocks = n;
  image.counters.fileBlocks = n;
  image.counters.firstBlock = 1;
  image.counters.lastBlock = n;
  image.counters.levels = static_cast<std::uint8_t>(levels);
  return image;
}

} // namespace velanta::paradox
