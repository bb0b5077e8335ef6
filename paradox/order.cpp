#include "paradox/order.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace velanta::paradox {

namespace {

// Whether a record lies at or after the seek target.
bool atOrAfter(std::span<const KeyField> fields, Collation collation, const std::uint8_t *record,
               const std::uint8_t *key, bool after) {
  const int cmp = compareKey(fields, collation, record, key);
  return after ? cmp > 0 : cmp >= 0;
}

// The same fields laid out back to back from offset 0 (as in a tree entry or a packed key).
std::vector<KeyField> packed(std::span<const KeyField> fields) {
  std::vector<KeyField> out(fields.begin(), fields.end());
  int offset = 0;
  for (auto &field : out) {
    field.offset = offset;
    offset += field.width;
  }
  return out;
}

} // namespace

ChainedFile::ChainedFile(BlockReader &file, const std::vector<ChainBlock> &chain) : file_(file) {
  indexOfBlock_.assign(file.blockCount() + 1, -1);
  for (const ChainBlock &block : chain) {
    if (block.count == 0) continue;
    indexOfBlock_[block.block] = static_cast<std::int32_t>(chain_.size());
    chain_.push_back({block.block, block.count, static_cast<std::uint32_t>(size_)});
    size_ += block.count;
  }
}

int ChainedFile::chainIndexOf(std::uint32_t block) const {
  return block < indexOfBlock_.size() ? indexOfBlock_[block] : -1;
}

std::size_t ChainedFile::chainIndexFor(std::uint64_t position) const {
  const auto inside = [&](std::size_t k) {
    return position >= chain_[k].before && position < chain_[k].before + chain_[k].count;
  };
  if (lastChainIndex_ < chain_.size() && inside(lastChainIndex_)) return lastChainIndex_;
  if (lastChainIndex_ + 1 < chain_.size() && inside(lastChainIndex_ + 1)) return ++lastChainIndex_;
  const auto found =
      std::upper_bound(chain_.begin(), chain_.end(), position,
                       [](std::uint64_t p, const ChainBlock &b) { return p < b.before; });
  lastChainIndex_ = static_cast<std::size_t>(found - chain_.begin()) - 1;
  return lastChainIndex_;
}

std::pair<std::uint32_t, int> ChainedFile::locate(std::uint64_t position) const {
  const std::size_t k = chainIndexFor(position);
  return {chain_[k].block, static_cast<int>(position - chain_[k].before)};
}

Result<const std::uint8_t *> ChainedFile::recordAt(std::uint64_t position) {
  if (position >= size_) return file_.corrupt(0, "позиция за концом таблицы");
  const auto [block, slot] = locate(position);
  auto bytes = file_.block(block);
  if (!bytes) return bytes.takeStatus();
  return *bytes + 6 + static_cast<std::size_t>(slot) * static_cast<std::size_t>(file_.recordSize());
}

std::uint32_t ChainedFile::followingInBlock(std::uint64_t position) const {
  const ChainBlock &block = chain_[chainIndexFor(position)];
  return static_cast<std::uint32_t>(block.before + block.count - position - 1);
}

Result<std::uint64_t> ChainedFile::seekInBlock(std::size_t k, const std::uint8_t *key,
                                               std::span<const KeyField> fields,
                                               Collation collation, bool after) {
  auto bytes = file_.block(chain_[k].block);
  if (!bytes) return bytes.takeStatus();
  const std::uint8_t *records = *bytes + 6;
  const int recordSize = file_.recordSize();
  int lo = 0, hi = chain_[k].count;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (atOrAfter(fields, collation, records + mid * recordSize, key, after))
      hi = mid;
    else
      lo = mid + 1;
  }
  return chain_[k].before + static_cast<std::uint64_t>(lo);
}

Result<std::uint64_t> ChainedFile::seek(const std::uint8_t *key, std::span<const KeyField> fields,
                                        Collation collation, bool after, IndexTree *tree) {
  if (size_ == 0) return std::uint64_t{0};
  const auto holds = [&](std::uint64_t position) -> Result<bool> {
    if (position > 0) {
      auto previous = recordAt(position - 1);
      if (!previous) return previous.takeStatus();
      if (atOrAfter(fields, collation, *previous, key, after)) return false;
    }
    if (position < size_) {
      auto current = recordAt(position);
      if (!current) return current.takeStatus();
      if (!atOrAfter(fields, collation, *current, key, after)) return false;
    }
    return true;
  };
  if (tree != nullptr) {
    const auto treeFields = packed(fields);
    auto block = tree->descend(key, treeFields, collation, after);
    const int k = block ? chainIndexOf(*block) : -1;
    if (k >= 0) {
      auto position = seekInBlock(static_cast<std::size_t>(k), key, fields, collation, after);
      if (!position) return position;
      auto verified = holds(*position);
      if (!verified) return verified.takeStatus();
      if (*verified) return position;
    }
  }
  // Binary search for the first block whose first record is at or after the target; the
  // target lies in the block before it (or is that block's first record).
  std::size_t lo = 0, hi = chain_.size();
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    auto bytes = file_.block(chain_[mid].block);
    if (!bytes) return bytes.takeStatus();
    if (atOrAfter(fields, collation, *bytes + 6, key, after))
      hi = mid;
    else
      lo = mid + 1;
  }
  if (lo == 0) return std::uint64_t{0};
  return seekInBlock(lo - 1, key, fields, collation, after);
}

Result<std::uint64_t> ChainOrder::seek(const std::uint8_t *key, bool after) {
  if (key_.empty())
    return Status::error(ErrorCode::kNoSuchIndex, {table_->file().name(), "у таблицы нет ключа"});
  return table_->seek(key, std::span(key_).first(1), collation_, after, tree_);
}

IndexOrder::IndexOrder(std::unique_ptr<BlockReader> indexFile, std::vector<ChainBlock> indexChain,
                       std::unique_ptr<IndexTree> tree, IndexRecordLayout layout,
                       Collation collation, BlockReader &tableFile,
                       std::function<Result<ChainedFile *>()> tableChain)
    : indexFile_(std::move(indexFile)), index_(*indexFile_, indexChain), tree_(std::move(tree)),
      layout_(std::move(layout)), collation_(collation), tableFile_(tableFile),
      tableChain_(std::move(tableChain)) {}

Result<std::uint64_t> IndexOrder::seek(const std::uint8_t *key, bool after) {
  return index_.seek(key, std::span(layout_.indexedInIndex).first(1), collation_, after,
                     tree_.get());
}

Result<const std::uint8_t *> IndexOrder::findInTable(const std::uint8_t *indexRecord) {
  const std::uint8_t *primaryKey = indexRecord + layout_.primaryKeyOffset;
  const auto width = static_cast<std::size_t>(layout_.primaryKeyWidth);
  // The index names the block that held the record when it was written: try it first.
  const std::uint8_t *hint = indexRecord + layout_.blockHintOffset;
  const int hintBlock = ((hint[0] << 8) | hint[1]) ^ 0x8000;
  if (hintBlock > 0 && static_cast<std::uint32_t>(hintBlock) <= tableFile_.blockCount()) {
    auto bytes = tableFile_.block(static_cast<std::uint32_t>(hintBlock));
    if (bytes) {
      auto count = tableFile_.recordCount(*bytes, static_cast<std::uint32_t>(hintBlock));
      const std::uint8_t *records = *bytes + 6;
      for (int i = 0; count && i < *count; ++i) {
        const std::uint8_t *record = records + i * tableFile_.recordSize();
        if (std::memcmp(record, primaryKey, width) == 0) return record;
      }
    }
  }
  // Otherwise look the primary key up in the table (sorted by it).
  auto table = tableChain_();
  if (!table) return table.takeStatus();
  auto position = (*table)->seek(primaryKey, layout_.primaryKeyInTable, collation_, false, nullptr);
  if (!position) return position.takeStatus();
  if (*position < (*table)->size()) {
    auto record = (*table)->recordAt(*position);
    if (!record) return record;
    if (std::memcmp(*record, primaryKey, width) == 0) return record;
  }
  return Status::error(ErrorCode::kIndexOutOfDate,
                       {indexFile_->name(), "запись индекса не найдена в таблице"});
}

Result<const std::uint8_t *> IndexOrder::fetch(std::uint64_t position) {
  auto indexRecord = index_.recordAt(position);
  if (!indexRecord) return indexRecord;
  return recordFor(*indexRecord);
}

Status IndexOrder::checkAll() {
  const auto width = static_cast<std::size_t>(index_.file().recordSize());
  // Every byte is written below: no zeroing first.
  const auto copies =
      std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size()) * width);
  std::vector<std::pair<std::uint32_t, std::uint64_t>> byBlock; // hinted block, position
  byBlock.reserve(static_cast<std::size_t>(size()));
  for (std::uint64_t position = 0; position < size(); ++position) {
    auto indexRecord = index_.recordAt(position);
    if (!indexRecord) return indexRecord.takeStatus();
    std::uint8_t *copy = copies.get() + position * width;
    std::memcpy(copy, *indexRecord, width);
    const std::uint8_t *hint = copy + layout_.blockHintOffset;
    byBlock.emplace_back(static_cast<std::uint32_t>(((hint[0] << 8) | hint[1]) ^ 0x8000), position);
  }
  std::sort(byBlock.begin(), byBlock.end());
  for (const auto &[block, position] : byBlock)
    if (auto record = recordFor(copies.get() + position * width); !record)
      return record.takeStatus();
  indexFile_->releaseMappedPages();
  tableFile_.releaseMappedPages();
  return {};
}

Result<const std::uint8_t *> IndexOrder::recordFor(const std::uint8_t *indexRecord) {
  auto record = findInTable(indexRecord);
  if (!record) return record;
  // The index must agree with the record it leads to, or its order would be wrong.
  for (std::size_t i = 0; i < layout_.indexedInTable.size(); ++i) {
    const KeyField &inTable = layout_.indexedInTable[i];
    const KeyField &inIndex = layout_.indexedInIndex[i];
    if (std::memcmp(*record + inTable.offset, indexRecord + inIndex.offset,
                    static_cast<std::size_t>(inTable.width)) != 0)
      return Status::error(ErrorCode::kIndexOutOfDate,
                           {indexFile_->name(), "значение в индексе не совпадает с записью"});
  }
  return record;
}

Result<std::unique_ptr<MemoryOrder>> MemoryOrder::build(std::shared_ptr<ChainedFile> shared,
                                                        std::vector<KeyField> key,
                                                        Collation collation) {
  ChainedFile &table = *shared;
  auto order =
      std::unique_ptr<MemoryOrder>(new MemoryOrder(std::move(shared), std::move(key), collation));
  order->packed_ = packed(order->key_);
  for (const auto &field : order->key_)
    order->keyWidth_ += field.width;
  const std::uint64_t count = table.size();
  const auto width = static_cast<std::size_t>(order->keyWidth_);
  order->keys_.resize(static_cast<std::size_t>(count) * width);
  order->order_.resize(static_cast<std::size_t>(count));
  for (std::uint64_t position = 0; position < count; ++position) {
    auto record = table.recordAt(position);
    if (!record) return record.takeStatus();
    std::uint8_t *out = order->keys_.data() + position * width;
    for (const auto &field : order->key_) {
      std::memcpy(out, *record + field.offset, static_cast<std::size_t>(field.width));
      out += field.width;
    }
    order->order_[position] = static_cast<std::uint32_t>(position);
  }
  table.file().releaseMappedPages(); // every record was read: let go of the pages
  MemoryOrder &self = *order;
  std::stable_sort(self.order_.begin(), self.order_.end(), [&self, width](auto a, auto b) {
    return compareKey(self.packed_, self.collation_, self.keys_.data() + a * width,
                      self.keys_.data() + b * width) < 0;
  });
  return order;
}

Result<const std::uint8_t *> MemoryOrder::fetch(std::uint64_t position) {
  if (position >= order_.size()) return table_->file().corrupt(0, "позиция за концом индекса");
  return table_->recordAt(order_[position]);
}

Result<std::uint64_t> MemoryOrder::seek(const std::uint8_t *key, bool after) {
  const auto width = static_cast<std::size_t>(keyWidth_);
  const auto first = std::span(packed_).first(1);
  const auto found = std::partition_point(order_.begin(), order_.end(), [&](std::uint32_t p) {
    return !atOrAfter(first, collation_, keys_.data() + p * width, key, after);
  });
  return static_cast<std::uint64_t>(found - order_.begin());
}

} // namespace velanta::paradox
