#include "paradox/block_file.h"

#include "paradox/bytes.h"
#include "paradox/crypto.h"
#include "paradox/page_overlay.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace velanta::paradox {

Status BlockFile::corrupt(const std::string &what) const {
  const bool index =
      name_.size() > 3 &&
      (name_.find(".X") != std::string::npos || name_.find(".x") != std::string::npos ||
       name_.find(".P") != std::string::npos || name_.find(".p") != std::string::npos);
  const ErrorCode code = index ? ErrorCode::kIndexCorrupt : ErrorCode::kHeaderCorrupt;
  return Status(code, std::string(defaultMessage(code)), {name_, what});
}

Status BlockFile::load() {
  header_.assign(0x78, 0);
  if (Status s = store_.read(0, header_); !s) return s;
  recordSize_ = bytes::getU16le(&header_[0x00]);
  headerSize_ = bytes::getU16le(&header_[0x02]);
  blockSize_ = header_[0x05] * 1024;
  if (recordSize_ <= 0 || headerSize_ < 0x58 || blockSize_ <= 0 || recordSize_ > blockSize_ - 6)
    return corrupt("заголовок");
  if (headerSize_ < 0x78) header_.resize(static_cast<std::size_t>(headerSize_));
  const std::uint8_t type = header_[0x04];
  const bool dataHeader =
      header_[0x39] >= 5 && headerSize_ >= 0x78 &&
      (type == 0 || type == 2 || type == 3 || type == 5 || type == 6 || type == 8);
  const std::uint32_t old = bytes::getU32le(&header_[0x25]);
  checkValue_ = dataHeader ? bytes::getU32le(&header_[0x5C]) : (old == 0xFF00FF00u ? 0 : old);
  counters = readCounters(header_.data(), type == 1 || type == 4 || type == 7);
  return {};
}

Status BlockFile::storeHeader() {
  const std::uint8_t type = header_[0x04];
  writeCounters(header_.data(), counters, type == 1 || type == 4 || type == 7);
  return store_.write(0, header_);
}

Result<std::vector<std::uint8_t>> BlockFile::readBlock(std::uint16_t number) {
  if (number == 0 || number > counters.fileBlocks)
    return corrupt("блок " + std::to_string(number) + " вне файла");
  std::vector<std::uint8_t> block(static_cast<std::size_t>(blockSize_));
  const std::uint64_t offset =
      static_cast<std::uint64_t>(headerSize_) +
      static_cast<std::uint64_t>(number - 1) * static_cast<std::uint64_t>(blockSize_);
  if (Status s = store_.read(offset, block); !s) return s;
  if (checkValue_ != 0) decryptBlock(block, checkValue_, number);
  return block;
}

Status BlockFile::writeBlock(std::uint16_t number, std::vector<std::uint8_t> block) {
  block.resize(static_cast<std::size_t>(blockSize_), 0);
  if (checkValue_ != 0) encryptBlock(block, checkValue_, number);
  const std::uint64_t offset =
      static_cast<std::uint64_t>(headerSize_) +
      static_cast<std::uint64_t>(number - 1) * static_cast<std::uint64_t>(blockSize_);
  return store_.write(offset, block);
}

Result<std::uint16_t> BlockFile::allocate() {
  if (counters.firstFreeBlock != 0) {
    const std::uint16_t number = counters.firstFreeBlock;
    auto block = readBlock(number);
    if (!block) return block.takeStatus();
    counters.firstFreeBlock = bytes::getU16le(block->data());
    if (counters.firstFreeBlock > counters.fileBlocks || counters.firstFreeBlock == number)
      return corrupt("список свободных блоков");
    ++counters.usedBlocks;
    return number;
  }
  if (counters.fileBlocks == 0xFFFF)
    return Status(ErrorCode::kTableBusy, "Таблица достигла наибольшего числа блоков.", {name_});
  ++counters.fileBlocks;
  ++counters.usedBlocks;
  const std::uint16_t number = counters.fileBlocks;
  if (Status s =
          writeBlock(number, std::vector<std::uint8_t>(static_cast<std::size_t>(blockSize_), 0));
      !s)
    return s;
  return number;
}

Status BlockFile::release(std::uint16_t number) {
  std::vector<std::uint8_t> block(static_cast<std::size_t>(blockSize_), 0);
  bytes::putU16le(&block[0], counters.firstFreeBlock);
  bytes::putU16le(&block[4], static_cast<std::uint16_t>(-recordSize_));
  counters.firstFreeBlock = number;
  --counters.usedBlocks;
  return writeBlock(number, std::move(block));
}

Status SortedFile::walkTree(BlockFile &tree, std::uint16_t block, int level, std::uint16_t parent,
                            int parentIndex, int depthGuard) {
  if (depthGuard <= 0 || nodes_.count(block)) return tree.corrupt("уровни дерева");
  auto bytesOf = tree.readBlock(block);
  if (!bytesOf) return bytesOf.takeStatus();
  TreeNode node;
  node.parent = parent;
  node.parentIndex = parentIndex;
  node.level = level;
  node.next = bytes::getU16le(bytesOf->data());
  node.prev = bytes::getU16le(bytesOf->data() + 2);
  const int entrySize = keySize_ + 6;
  const int n = blockRecordCount(bytesOf->data(), entrySize, tree.blockSize());
  std::vector<TreeEntry> entries;
  for (int i = 0; i < n; ++i) {
    const std::uint8_t *e = bytesOf->data() + 6 + i * entrySize;
    entries.push_back({std::vector<std::uint8_t>(e, e + keySize_), decodeShort(e + keySize_),
                       decodeShort(e + keySize_ + 2)});
  }
  if (level == 1) {
    for (TreeEntry &e : entries) {
      level1_.push_back(std::move(e));
      leafOf_.push_back(block);
    }
    nodes_[block] = std::move(node);
    return {};
  }
  node.entries = entries;
  nodes_[block] = std::move(node);
  for (int i = 0; i < n; ++i)
    if (Status s = walkTree(tree, entries[static_cast<std::size_t>(i)].block, level - 1, block, i,
                            depthGuard - 1);
        !s)
      return s;
  return {};
}

Status SortedFile::loadTree(ByteStore &tree) {
  BlockFile treeFile(tree, file_.name() + " (дерево)");
  if (Status s = treeFile.load(); !s) return s;
  level1_.clear();
  leafOf_.clear();
  nodes_.clear();
  dirtyLeaves_.clear();
  rebuild_ = false;
  treeLevels_ = treeFile.counters.levels;
  if (treeLevels_ > 0)
    if (Status s = walkTree(treeFile, treeFile.counters.rootBlock, treeLevels_, 0, 0, 8); !s)
      return s;
  // The tree must cover exactly the blocks of the chain.
  std::uint64_t total = 0;
  for (const TreeEntry &e : level1_)
    total += e.count;
  if (level1_.size() != file_.counters.usedBlocks || total != file_.counters.records)
    return Status(ErrorCode::kIndexOutOfDate,
                  std::string(defaultMessage(ErrorCode::kIndexOutOfDate)), {file_.name()});
  return {};
}

void SortedFile::insertEntry(std::size_t at, TreeEntry entry) {
  // A new data block follows its predecessor in the chain: its entry joins the same leaf.
  const std::uint16_t leaf = at > 0 && at - 1 < leafOf_.size() ? leafOf_[at - 1] : 0;
  level1_.insert(level1_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
  leafOf_.insert(leafOf_.begin() + static_cast<std::ptrdiff_t>(at), leaf);
  if (leaf == 0)
    rebuild_ = true;
  else
    dirtyLeaves_.push_back(leaf);
}

void SortedFile::eraseEntry(std::size_t at) {
  dirtyLeaves_.push_back(leafOf_[at]);
  level1_.erase(level1_.begin() + static_cast<std::ptrdiff_t>(at));
  leafOf_.erase(leafOf_.begin() + static_cast<std::ptrdiff_t>(at));
}

Status SortedFile::rebuildTree(ByteStore &tree, BlockFile &treeFile) {
  TreeImage image = buildTree(level1_, keySize_, treeFile.blockSize());
  for (std::size_t i = 0; i < image.blocks.size(); ++i)
    if (Status s =
            treeFile.writeBlock(static_cast<std::uint16_t>(i + 1), std::move(image.blocks[i]));
        !s)
      return s;
  treeFile.counters = image.counters;
  if (Status s = treeFile.storeHeader(); !s) return s;
  // A tree that shrank must not keep its old blocks past the new end.
  if (auto *overlay = dynamic_cast<PageOverlay *>(&tree))
    overlay->truncate(static_cast<std::uint64_t>(treeFile.headerSize()) +
                      static_cast<std::uint64_t>(image.counters.fileBlocks) *
                          static_cast<std::uint64_t>(treeFile.blockSize()));
  return {};
}

Status SortedFile::storeTree(ByteStore &tree) {
  if (!treeChanged_) return {};
  treeChanged_ = false;
  BlockFile treeFile(tree, file_.name() + " (дерево)");
  if (Status s = treeFile.load(); !s) return s;
  const int entrySize = keySize_ + 6;
  const int capacity = (treeFile.blockSize() - 6) / entrySize;
  // The run of level-1 entries of every leaf (leaves hold consecutive entries).
  std::map<std::uint16_t, std::pair<std::size_t, std::size_t>> runs;
  for (std::size_t i = 0; i < leafOf_.size(); ++i) {
    auto [it, fresh] = runs.try_emplace(leafOf_[i], i, i + 1);
    if (!fresh) {
      if (it->second.second != i) rebuild_ = true;
      it->second.second = i + 1;
    }
  }
  for (std::uint16_t leaf : dirtyLeaves_) {
    const auto run = runs.find(leaf);
    if (run == runs.end() || static_cast<int>(run->second.second - run->second.first) > capacity)
      rebuild_ = true; // a leaf emptied or overflowed: the shape changes
  }
  if (rebuild_ || treeLevels_ == 0) {
    Status s = rebuildTree(tree, treeFile);
    nodes_.clear(); // the shape changed; a later change reads the tree again
    return s;
  }
  auto entryBytes = [&](const std::vector<TreeEntry> &entries, std::size_t from, std::size_t to) {
    std::vector<std::uint8_t> out((to - from) * static_cast<std::size_t>(entrySize));
    for (std::size_t i = from; i < to; ++i) {
      std::uint8_t *e = out.data() + (i - from) * static_cast<std::size_t>(entrySize);
      std::memcpy(e, entries[i].key.data(), static_cast<std::size_t>(keySize_));
      encodeShort(e + keySize_, entries[i].block);
      encodeShort(e + keySize_ + 2, entries[i].count);
      encodeShort(e + keySize_ + 4, 0);
    }
    return out;
  };
  std::set<std::uint16_t> dirty(dirtyLeaves_.begin(), dirtyLeaves_.end());
  dirtyLeaves_.clear();
  // First key and total count of a node, as its parent's entry for it.
  auto summary = [&](std::uint16_t block) {
    const TreeNode &node = nodes_[block];
    TreeEntry e{{}, block, 0};
    if (node.level == 1) {
      const auto [from, to] = runs[block];
      e.key = level1_[from].key;
      for (std::size_t i = from; i < to; ++i)
        e.count += level1_[i].count;
    } else {
      e.key = node.entries.front().key;
      for (const TreeEntry &child : node.entries)
        e.count += child.count;
    }
    return e;
  };
  for (int level = 1; level <= treeLevels_ && !dirty.empty(); ++level) {
    std::set<std::uint16_t> parents;
    for (std::uint16_t block : dirty) {
      TreeNode &node = nodes_[block];
      if (node.level != level) continue;
      std::vector<std::uint8_t> records;
      int count = 0;
      if (level == 1) {
        const auto [from, to] = runs[block];
        records = entryBytes(level1_, from, to);
        count = static_cast<int>(to - from);
      } else {
        records = entryBytes(node.entries, 0, node.entries.size());
        count = static_cast<int>(node.entries.size());
      }
      if (Status s =
              treeFile.writeBlock(block, makeDataBlock(treeFile.blockSize(), node.next, node.prev,
                                                       records.data(), count, entrySize));
          !s)
        return s;
      if (node.parent != 0) {
        nodes_[node.parent].entries[static_cast<std::size_t>(node.parentIndex)] = summary(block);
        parents.insert(node.parent);
      }
    }
    for (std::uint16_t block : dirty)
      if (nodes_[block].level != level)
        parents.insert(block); // not reached yet: keep for its own level
    dirty = std::move(parents);
  }
  // Entries of all levels: level-1 count changed by the blocks added or freed.
  std::uint32_t entries = static_cast<std::uint32_t>(level1_.size());
  for (const auto &[block, node] : nodes_)
    if (node.level > 1) entries += static_cast<std::uint32_t>(node.entries.size());
  if (entries != treeFile.counters.records) {
    treeFile.counters.records = entries;
    return treeFile.storeHeader();
  }
  return {};
}

std::size_t SortedFile::locate(std::span<const std::uint8_t> key) const {
  // The last entry whose first key is not greater than the key; the first when all are.
  std::size_t lo = 0, hi = level1_.size();
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (compare(level1_[mid].key, key) <= 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo == 0 ? 0 : lo - 1;
}

Result<SortedFile::Found> SortedFile::findRecord(std::span<const std::uint8_t> record) {
  if (level1_.empty()) return Found{};
  const std::size_t guess = locate(record);
  // Stale first keys in a tree written by another program may point one block off.
  for (std::size_t entry : {guess, guess + 1, guess - 1}) {
    if (entry >= level1_.size()) continue;
    auto block = file_.readBlock(level1_[entry].block);
    if (!block) return block.takeStatus();
    const int n = blockRecordCount(block->data(), file_.recordSize(), file_.blockSize());
    for (int i = 0; i < n; ++i) {
      const std::span<const std::uint8_t> r(recordAt(*block, i, file_.recordSize()),
                                            static_cast<std::size_t>(file_.recordSize()));
      if (compare(r, record) == 0) return Found{entry, std::move(*block), n, i};
    }
  }
  Found notFound;
  notFound.entry = guess;
  return notFound;
}

Result<std::uint16_t> SortedFile::find(std::span<const std::uint8_t> record) {
  auto found = findRecord(record);
  if (!found) return found.takeStatus();
  return found->position < 0 ? std::uint16_t{0} : level1_[found->entry].block;
}

Result<Placement> SortedFile::insert(std::span<const std::uint8_t> record) {
  const int rs = file_.recordSize();
  BlockCounters &c = file_.counters;
  treeChanged_ = true;
  if (level1_.empty()) {
    auto number = file_.allocate();
    if (!number) return number.takeStatus();
    if (Status s =
            file_.writeBlock(*number, makeDataBlock(file_.blockSize(), 0, 0, record.data(), 1, rs));
        !s)
      return s;
    c.firstBlock = c.lastBlock = *number;
    ++c.records;
    level1_.push_back({keyOf(record.data()), *number, 1});
    leafOf_.push_back(0);
    rebuild_ = true;
    return Placement{*number, {}};
  }
  const std::size_t entry = locate(record);
  const std::uint16_t number = level1_[entry].block;
  auto blockResult = file_.readBlock(number);
  if (!blockResult) return blockResult.takeStatus();
  std::vector<std::uint8_t> block = std::move(*blockResult);
  const int n = blockRecordCount(block.data(), rs, file_.blockSize());
  int pos = 0;
  while (pos < n) {
    const int c2 = compare(
        std::span<const std::uint8_t>(recordAt(block, pos, rs), static_cast<std::size_t>(rs)),
        record);
    if (c2 == 0) return Status::error(ErrorCode::kKeyViolation, {file_.name()});
    if (c2 > 0) break;
    ++pos;
  }
  // A neighbouring block could hold the equal key when first keys in the tree are stale.
  if (auto dup = findRecord(record); !dup)
    return dup.takeStatus();
  else if (dup->position >= 0)
    return Status::error(ErrorCode::kKeyViolation, {file_.name()});
  ++c.records;
  std::vector<std::uint8_t> all(static_cast<std::size_t>((n + 1) * rs));
  std::memcpy(all.data(), block.data() + 6, static_cast<std::size_t>(pos * rs));
  std::memcpy(all.data() + pos * rs, record.data(), static_cast<std::size_t>(rs));
  std::memcpy(all.data() + (pos + 1) * rs, block.data() + 6 + pos * rs,
              static_cast<std::size_t>((n - pos) * rs));
  const std::uint16_t next = bytes::getU16le(&block[0]);
  const std::uint16_t prev = bytes::getU16le(&block[2]);
  if (n < file_.capacity()) {
    if (Status s = file_.writeBlock(
            number, makeDataBlock(file_.blockSize(), next, prev, all.data(), n + 1, rs));
        !s)
      return s;
    level1_[entry].count = static_cast<std::uint32_t>(n + 1);
    level1_[entry].key = keyOf(all.data());
    touch(entry);
    return Placement{number, {}};
  }
  auto fresh = file_.allocate();
  if (!fresh) return fresh.takeStatus();
  const std::uint16_t added = *fresh;
  if (pos == n && next == 0) {
    // Past the end of the last block: a new block is chained after it.
    if (Status s = file_.writeBlock(
            number, makeDataBlock(file_.blockSize(), added, prev, all.data(), n, rs));
        !s)
      return s;
    if (Status s = file_.writeBlock(
            added, makeDataBlock(file_.blockSize(), 0, number, record.data(), 1, rs));
        !s)
      return s;
    c.lastBlock = added;
    insertEntry(entry + 1, TreeEntry{keyOf(record.data()), added, 1});
    return Placement{added, {}};
  }
  // Split in half: the upper half moves to the new block, chained right after.
  const int half = (n + 1) / 2;
  const int right = n + 1 - half;
  if (Status s = file_.writeBlock(
          number, makeDataBlock(file_.blockSize(), added, prev, all.data(), half, rs));
      !s)
    return s;
  if (Status s = file_.writeBlock(
          added, makeDataBlock(file_.blockSize(), next, number, all.data() + half * rs, right, rs));
      !s)
    return s;
  if (next != 0) {
    auto nextBlock = file_.readBlock(next);
    if (!nextBlock) return nextBlock.takeStatus();
    bytes::putU16le(&(*nextBlock)[2], added);
    if (Status s = file_.writeBlock(next, std::move(*nextBlock)); !s) return s;
  } else {
    c.lastBlock = added;
  }
  level1_[entry].count = static_cast<std::uint32_t>(half);
  level1_[entry].key = keyOf(all.data());
  touch(entry);
  insertEntry(entry + 1,
              TreeEntry{keyOf(all.data() + half * rs), added, static_cast<std::uint32_t>(right)});
  Placement placement{pos < half ? number : added, {}};
  for (int i = half; i <= n; ++i)
    if (i != pos)
      placement.moved.emplace_back(
          std::vector<std::uint8_t>(all.data() + i * rs, all.data() + (i + 1) * rs), added);
  return placement;
}

Status SortedFile::remove(std::span<const std::uint8_t> record) {
  auto found = findRecord(record);
  if (!found) return found.takeStatus();
  if (found->position < 0) return file_.corrupt("запись не найдена по ключу");
  treeChanged_ = true;
  const int rs = file_.recordSize();
  BlockCounters &c = file_.counters;
  std::vector<std::uint8_t> &block = found->block;
  const std::uint16_t number = level1_[found->entry].block;
  const int n = found->count;
  --c.records;
  const std::uint16_t next = bytes::getU16le(&block[0]);
  const std::uint16_t prev = bytes::getU16le(&block[2]);
  if (n == 1) {
    // The block empties: unlink it and put it on the free list.
    if (prev != 0) {
      auto p = file_.readBlock(prev);
      if (!p) return p.takeStatus();
      bytes::putU16le(&(*p)[0], next);
      if (Status s = file_.writeBlock(prev, std::move(*p)); !s) return s;
    } else {
      c.firstBlock = next;
    }
    if (next != 0) {
      auto q = file_.readBlock(next);
      if (!q) return q.takeStatus();
      bytes::putU16le(&(*q)[2], prev);
      if (Status s = file_.writeBlock(next, std::move(*q)); !s) return s;
    } else {
      c.lastBlock = prev;
    }
    eraseEntry(found->entry);
    return file_.release(number);
  }
  const int pos = found->position;
  std::memmove(recordAt(block, pos, rs), recordAt(block, pos + 1, rs),
               static_cast<std::size_t>((n - pos - 1) * rs));
  std::memset(recordAt(block, n - 1, rs), 0, static_cast<std::size_t>(rs));
  bytes::putU16le(&block[4], static_cast<std::uint16_t>((n - 2) * rs));
  level1_[found->entry].count = static_cast<std::uint32_t>(n - 1);
  level1_[found->entry].key = keyOf(block.data() + 6);
  touch(found->entry);
  return file_.writeBlock(number, std::move(block));
}

Result<std::uint16_t> SortedFile::replace(std::span<const std::uint8_t> record) {
  auto found = findRecord(record);
  if (!found) return found.takeStatus();
  if (found->position < 0) return file_.corrupt("запись не найдена по ключу");
  const int rs = file_.recordSize();
  std::memcpy(recordAt(found->block, found->position, rs), record.data(),
              static_cast<std::size_t>(rs));
  const std::uint16_t number = level1_[found->entry].block;
  if (Status s = file_.writeBlock(number, std::move(found->block)); !s) return s;
  return number;
}

} // namespace velanta::paradox
