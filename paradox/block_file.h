// A file of fixed-size records in a chain of blocks: a .DB, .Xnn or .XGn (and, for their
// blocks only, a .PX/.Ynn/.YGn). Reads and writes whole blocks through a ByteStore, deciphering
// and enciphering them with the file's check value; hands out blocks from the free list before
// it grows the file; keeps the header's block counters.
//
// SortedFile adds the order of a keyed table or index: every record has a unique sort key,
// blocks are chained in key order, and the level-1 entries of the companion tree (.PX/.Ynn/
// .YGn) — first key and count of every block — are kept in step in memory, to be written back
// with buildTree().
#pragma once

#include "paradox/byte_store.h"
#include "paradox/header_builder.h"
#include "paradox/key_order.h"
#include "paradox/status.h"
#include "paradox/tree_builder.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velanta::paradox {

class BlockFile {
public:
  BlockFile(ByteStore &store, std::string name) : store_(store), name_(std::move(name)) {}

  // Reads the header fields this class maintains.
  Status load();
  // Writes them back (and bumps the DB's change counter at 0x70 when asked).
  Status storeHeader();

  Result<std::vector<std::uint8_t>> readBlock(std::uint16_t number);
  Status writeBlock(std::uint16_t number, std::vector<std::uint8_t> block);
  // A block for new records: the head of the free list, else a new block at the end.
  Result<std::uint16_t> allocate();
  // Puts an emptied block (already unlinked from the chain) on the free list.
  Status release(std::uint16_t number);

  int recordSize() const { return recordSize_; }
  int blockSize() const { return blockSize_; }
  int headerSize() const { return headerSize_; }
  int capacity() const { return (blockSize_ - 6) / recordSize_; }
  const std::string &name() const { return name_; }
  std::vector<std::uint8_t> &header() { return header_; }
  ByteStore &store() { return store_; }

  BlockCounters counters;

  Status corrupt(const std::string &what) const;

private:
  ByteStore &store_;
  std::string name_;
  std::vector<std::uint8_t> header_; // the first 0x78 bytes
  int recordSize_ = 0;
  int blockSize_ = 0;
  int headerSize_ = 0;
  std::uint32_t checkValue_ = 0;
};

struct Placement {
  std::uint16_t block = 0;
  // Records that moved to another block (by a split), with their new block.
  std::vector<std::pair<std::vector<std::uint8_t>, std::uint16_t>> moved;
};

class SortedFile {
public:
  // keyParts describe the sort key, which is the leading keySize bytes of a record.
  SortedFile(BlockFile &file, const KeyOrder &order, std::vector<KeyPart> keyParts, int keySize)
      : file_(file), order_(order), parts_(std::move(keyParts)), keySize_(keySize) {}

  // Loads the level-1 entries from the companion tree (root, levels from its header).
  Status loadTree(ByteStore &tree);
  // Rewrites the companion tree from the level-1 entries when they changed.
  Status storeTree(ByteStore &tree);

  // Inserts a record; a record with an equal sort key gives kKeyViolation.
  Result<Placement> insert(std::span<const std::uint8_t> record);
  // Removes the record whose sort key equals the given record's.
  Status remove(std::span<const std::uint8_t> record);
  // Overwrites the record with the same sort key; returns its block.
  Result<std::uint16_t> replace(std::span<const std::uint8_t> record);
  // Block holding the record with this sort key (0 when absent).
  Result<std::uint16_t> find(std::span<const std::uint8_t> record);

  const std::vector<TreeEntry> &level1() const { return level1_; }

private:
  struct Found {
    std::size_t entry = 0;
    std::vector<std::uint8_t> block;
    int count = 0;
    int position = -1; // of the equal record, -1 when absent
  };
  std::size_t locate(std::span<const std::uint8_t> key) const;
  Result<Found> findRecord(std::span<const std::uint8_t> record);
  int compare(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) const {
    return order_.compare(a, b, parts_);
  }
  std::vector<std::uint8_t> keyOf(const std::uint8_t *record) const {
    return {record, record + keySize_};
  }

  BlockFile &file_;
  const KeyOrder &order_;
  std::vector<KeyPart> parts_;
  int keySize_;
  // Records that level-1 entry i changed in place (count or first key).
  void touch(std::size_t entry) { dirtyLeaves_.push_back(leafOf_[entry]); }
  void insertEntry(std::size_t at, TreeEntry entry);
  void eraseEntry(std::size_t at);
  Status walkTree(BlockFile &tree, std::uint16_t block, int level, std::uint16_t parent,
                  int parentIndex, int depthGuard);
  Status rebuildTree(ByteStore &tree, BlockFile &treeFile);

  // The tree as read: every index block with its place, so that a change that keeps the tree's
  // shape rewrites only the level-1 blocks it touched and their ancestors.
  struct TreeNode {
    std::uint16_t parent = 0;
    int parentIndex = 0;
    int level = 0;
    std::uint16_t next = 0, prev = 0;
    std::vector<TreeEntry> entries; // upper levels only; level 1 lives in level1_
  };
  std::vector<TreeEntry> level1_;
  std::vector<std::uint16_t> leafOf_; // tree block holding each level-1 entry
  std::map<std::uint16_t, TreeNode> nodes_;
  std::vector<std::uint16_t> dirtyLeaves_;
  bool treeChanged_ = false;
  bool rebuild_ = false; // the tree's shape must change: write it anew
  int treeLevels_ = 0;
};

// Position of block record i.
inline std::uint8_t *recordAt(std::vector<std::uint8_t> &block, int i, int recordSize) {
  return block.data() + 6 + static_cast<std::size_t>(i) * static_cast<std::size_t>(recordSize);
}

} // namespace velanta::paradox
