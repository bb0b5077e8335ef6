// The orders a cursor can present a table in: the table's own block chain, a secondary
// index's .Xnn/.XGn file, or an index built in memory from the data. Each maps positions
// 0..size()-1 to table records and seeks on the first key field. Internal to the engine.
#pragma once

#include "paradox/block_reader.h"
#include "paradox/collation.h"
#include "paradox/index_tree.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace velanta::paradox {

// A sorted or unsorted chain of blocks with positions counted along it.
class ChainedFile {
public:
  ChainedFile(BlockReader &file, const std::vector<ChainBlock> &chain);

  BlockReader &file() { return file_; }
  std::uint64_t size() const { return size_; }
  // Record at a 0-based position; the pointer is valid until the file's cache evicts it.
  Result<const std::uint8_t *> recordAt(std::uint64_t position);
  // How many records follow a position in its block (they lie right after it in memory).
  std::uint32_t followingInBlock(std::uint64_t position) const;
  // First position whose leading key fields are >= key (after: > key). The tree, when given,
  // is tried first; whatever it yields is verified against its neighbours, and a binary search
  // over the chain's blocks (O(log n) block reads) takes over when it does not hold.
  Result<std::uint64_t> seek(const std::uint8_t *key, std::span<const KeyField> fields,
                             Collation collation, bool after, IndexTree *tree);
  // Chain index of a block number, -1 when the block is not a non-empty block of the chain.
  int chainIndexOf(std::uint32_t block) const;
  // Block number and slot of a position.
  std::pair<std::uint32_t, int> locate(std::uint64_t position) const;

private:
  std::size_t chainIndexFor(std::uint64_t position) const;
  Result<std::uint64_t> seekInBlock(std::size_t k, const std::uint8_t *key,
                                    std::span<const KeyField> fields, Collation collation,
                                    bool after);

  BlockReader &file_;
  std::vector<ChainBlock> chain_; // non-empty blocks only
  std::vector<std::int32_t> indexOfBlock_;
  std::uint64_t size_ = 0;
  mutable std::size_t lastChainIndex_ = 0;
};

// Records of consecutive positions that lie one after another in memory: `record` is the
// first, `following` more follow it at steps of the record size.
struct RecordRun {
  const std::uint8_t *record = nullptr;
  std::uint32_t following = 0;
};

class Order {
public:
  virtual ~Order() = default;
  virtual std::uint64_t size() const = 0;
  // The table record at a position (recordSize bytes; valid until the next fetch).
  virtual Result<const std::uint8_t *> fetch(std::uint64_t position) = 0;
  // The record at a position with those after it that lie beside it in the table's block
  // cache (valid while the table file's generation stays). Orders other than the table's own
  // give runs of one.
  virtual Result<RecordRun> fetchRun(std::uint64_t position) {
    auto record = fetch(position);
    if (!record) return record.takeStatus();
    return RecordRun{*record, 0};
  }
  // First position whose first key field is >= key (after: > key); key = that field's bytes.
  virtual Result<std::uint64_t> seek(const std::uint8_t *key, bool after) = 0;
};

// The table's own order. Seeks need a keyed table (first field = first key field).
class ChainOrder final : public Order {
public:
  ChainOrder(std::shared_ptr<ChainedFile> table, std::vector<KeyField> key, Collation collation,
             IndexTree *tree)
      : table_(std::move(table)), key_(std::move(key)), collation_(collation), tree_(tree) {}
  std::uint64_t size() const override { return table_->size(); }
  Result<const std::uint8_t *> fetch(std::uint64_t position) override {
    return table_->recordAt(position);
  }
  Result<RecordRun> fetchRun(std::uint64_t position) override {
    auto record = table_->recordAt(position);
    if (!record) return record.takeStatus();
    return RecordRun{*record, table_->followingInBlock(position)};
  }
  Result<std::uint64_t> seek(const std::uint8_t *key, bool after) override;

private:
  std::shared_ptr<ChainedFile> table_; // the chain as walked when the cursor opened
  std::vector<KeyField> key_;
  Collation collation_;
  IndexTree *tree_;
};

// How a maintained secondary index's records lead back to the table.
struct IndexRecordLayout {
  std::vector<KeyField> indexedInIndex; // indexed fields in the index record (leading)
  std::vector<KeyField> indexedInTable; // the same fields where the table record has them
  int primaryKeyOffset = 0;             // primary-key copy inside the index record
  int primaryKeyWidth = 0;              // = the table's leading key fields
  std::vector<KeyField> primaryKeyInTable;
  int blockHintOffset = 0; // "Blk Num" (type S) inside the index record
};

// Order of a maintained .Xnn/.XGn file. A record that cannot be found in the table, or whose
// indexed values differ from the index's copy, fails with kIndexOutOfDate.
class IndexOrder final : public Order {
public:
  IndexOrder(std::unique_ptr<BlockReader> indexFile, std::vector<ChainBlock> indexChain,
             std::unique_ptr<IndexTree> tree, IndexRecordLayout layout, Collation collation,
             BlockReader &tableFile, std::function<Result<ChainedFile *>()> tableChain);
  std::uint64_t size() const override { return index_.size(); }
  Result<const std::uint8_t *> fetch(std::uint64_t position) override;
  Result<std::uint64_t> seek(const std::uint8_t *key, bool after) override;
  // Checks every index record against the table as fetch does (the first failure is
  // returned), visiting them in the order of the table blocks they name: the table is then
  // read once, front to back, however the index orders its records.
  Status checkAll();

private:
  Result<const std::uint8_t *> findInTable(const std::uint8_t *indexRecord);
  Result<const std::uint8_t *> recordFor(const std::uint8_t *indexRecord);

  std::unique_ptr<BlockReader> indexFile_;
  ChainedFile index_;
  std::unique_ptr<IndexTree> tree_;
  IndexRecordLayout layout_;
  Collation collation_;
  BlockReader &tableFile_;
  std::function<Result<ChainedFile *>()> tableChain_;
};

// An index built in memory from the table's records: their keys sorted, ties in table order.
class MemoryOrder final : public Order {
public:
  static Result<std::unique_ptr<MemoryOrder>> build(std::shared_ptr<ChainedFile> table,
                                                    std::vector<KeyField> key, Collation collation);
  std::uint64_t size() const override { return order_.size(); }
  Result<const std::uint8_t *> fetch(std::uint64_t position) override;
  Result<std::uint64_t> seek(const std::uint8_t *key, bool after) override;

private:
  MemoryOrder(std::shared_ptr<ChainedFile> table, std::vector<KeyField> key, Collation collation)
      : table_(std::move(table)), key_(std::move(key)), collation_(collation) {}

  std::shared_ptr<ChainedFile> table_;
  std::vector<KeyField> key_;    // offsets inside the table record
  std::vector<KeyField> packed_; // the same fields, back to back
  int keyWidth_ = 0;
  Collation collation_;
  std::vector<std::uint8_t> keys_;   // keyWidth_ bytes per table position
  std::vector<std::uint32_t> order_; // table positions in key order
};

} // namespace velanta::paradox
