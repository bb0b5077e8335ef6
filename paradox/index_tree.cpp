#include "paradox/index_tree.h"

namespace velanta::paradox {

Result<std::uint32_t> IndexTree::descend(const std::uint8_t *key, std::span<const KeyField> fields,
                                         Collation collation, bool orEqual) {
  int keyWidth = 0;
  for (const auto &field : fields)
    keyWidth += field.width;
  const Header &header = file_->header();
  const int entrySize = header.recordSize;
  if (header.indexLevels == 0 || header.indexLevels > 16) return file_->corrupt(0, "дерево пусто");
  if (entrySize < keyWidth + 6) return file_->corrupt(0, "размер элемента меньше ключа");
  std::uint32_t blockNumber = header.indexRoot;
  for (int level = header.indexLevels; level >= 1; --level) {
    auto block = file_->block(blockNumber);
    if (!block) return block.takeStatus();
    auto count = file_->recordCount(*block, blockNumber);
    if (!count) return count.takeStatus();
    if (*count == 0) return file_->corrupt(blockNumber, "пустой блок дерева");
    const std::uint8_t *entries = *block + 6;
    int chosen = 0;
    // Entries are in key order: binary search for the last one below (or at) the key.
    int lo = 0, hi = *count; // invariant: entries [0, lo) qualify, [hi, count) do not
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      const int cmp = compareKey(fields, collation, entries + mid * entrySize, key);
      if (cmp < 0 || (orEqual && cmp == 0))
        lo = mid + 1;
      else
        hi = mid;
    }
    chosen = lo > 0 ? lo - 1 : 0;
    const std::uint8_t *child = entries + chosen * entrySize + entrySize - 6;
    const int childNumber = (child[0] << 8 | child[1]) ^ 0x8000;
    if (childNumber <= 0) return file_->corrupt(blockNumber, "неверный номер блока в элементе");
    blockNumber = static_cast<std::uint32_t>(childNumber);
  }
  return blockNumber;
}

} // namespace velanta::paradox
