// Index trees (.PX, .Ynn, .YGn): the entries of level 1 — one per block of the parent file,
// in chain order, with the block's first key and record count — packed into full index blocks,
// with upper levels added until one root block remains.
#pragma once

#include "paradox/header_builder.h"

#include <cstdint>
#include <vector>

namespace velanta::paradox {

struct TreeEntry {
  std::vector<std::uint8_t> key; // first key of the block (key fields only)
  std::uint16_t block = 0;       // parent-file block number
  std::uint32_t count = 0;       // records in that block
};

struct TreeImage {
  std::vector<std::vector<std::uint8_t>> blocks; // block 1, 2, ... (plain bytes)
  BlockCounters counters;
};

TreeImage buildTree(const std::vector<TreeEntry> &level1, int keySize, int blockSize);

// Parses a tree file's blocks back into its level-1 entries (for trees we must update).
// `readBlock` returns block n's bytes, or an empty vector when it cannot be read.
template <class ReadBlock>
bool collectLevel1(std::uint16_t root, int levels, int keySize, ReadBlock &&readBlock,
                   std::vector<TreeEntry> &out, int depthGuard = 8);

// One data block: 6-byte header + packed records.
std::vector<std::uint8_t> makeDataBlock(int blockSize, std::uint16_t next, std::uint16_t prev,
                                        const std::uint8_t *records, int count, int recordSize);
int blockRecordCount(const std::uint8_t *block, int recordSize, int blockSize);

// Stored S values (big-endian, top bit flipped) used in tree entries and Blk Num.
inline std::uint16_t decodeShort(const std::uint8_t *p) {
  return static_cast<std::uint16_t>(((p[0] << 8) | p[1]) ^ 0x8000);
}
inline void encodeShort(std::uint8_t *p, std::uint32_t v) {
  const auto s = static_cast<std::uint16_t>((v & 0xFFFF) ^ 0x8000);
  p[0] = static_cast<std::uint8_t>(s >> 8);
  p[1] = static_cast<std::uint8_t>(s & 0xFF);
}

template <class ReadBlock>
bool collectLevel1(std::uint16_t root, int levels, int keySize, ReadBlock &&readBlock,
                   std::vector<TreeEntry> &out, int depthGuard) {
  if (levels <= 0 || depthGuard <= 0) return levels == 0;
  const std::vector<std::uint8_t> block = readBlock(root);
  if (block.size() < 6) return false;
  const int entrySize = keySize + 6;
  const int n = blockRecordCount(block.data(), entrySize, static_cast<int>(block.size()));
  for (int i = 0; i < n; ++i) {
    const std::uint8_t *e = block.data() + 6 + i * entrySize;
    const std::uint16_t child = decodeShort(e + keySize);
    if (levels == 1) {
      out.push_back(
          {std::vector<std::uint8_t>(e, e + keySize), child, decodeShort(e + keySize + 2)});
    } else if (!collectLevel1(child, levels - 1, keySize, readBlock, out, depthGuard - 1)) {
      return false;
    }
  }
  return true;
}

} // namespace velanta::paradox
