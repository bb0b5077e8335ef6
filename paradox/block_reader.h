// Reading a file made of a header and fixed-size blocks (.DB, .PX, .Xnn/.Ynn, .XGn/.YGn):
// blocks come through a small cache, decrypted when the file is encrypted, and the chain of
// live blocks can be walked. Internal to the engine.
#pragma once

#include "paradox/file.h"
#include "paradox/header.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace velanta::paradox {

// One block of a live chain, with the number of records before it in the chain.
struct ChainBlock {
  std::uint16_t block = 0;
  std::uint16_t count = 0;
  std::uint32_t before = 0;
};

class BlockReader {
public:
  // Reads and parses the header of an opened file. Blocks are decrypted with the header's
  // check value.
  static Result<std::unique_ptr<BlockReader>> open(std::unique_ptr<File> file,
                                                   std::size_t cacheBlocks);

  const Header &header() const { return header_; }
  File &file() { return *file_; }
  const std::string &name() const { return name_; }
  int blockSize() const { return header_.blockSize(); }
  int recordSize() const { return header_.recordSize; }
  // Records a block can hold.
  int capacity() const { return (blockSize() - 6) / recordSize(); }
  // Blocks present in the file (a short final block counts).
  std::uint32_t blockCount() const { return blockCount_; }
  std::uint32_t checkValue() const { return checkValue_; }

  // Block n (1-based), decrypted, blockSize bytes; a final block cut short reads as padded
  // with zeros. The pointer stays valid until cacheBlocks other slots have been filled.
  Result<const std::uint8_t *> block(std::uint32_t n);
  // Changes whenever a pointer block() handed out may have become invalid (a slot refilled,
  // the cache cleared); while it stays, such pointers stay valid.
  std::uint64_t generation() const { return generation_; }
  // Records in a block by its header; kHeaderCorrupt / kIndexCorrupt when they cannot fit.
  Result<int> recordCount(const std::uint8_t *block, std::uint32_t n) const;

  // Follows the chain from the header's first block. Fails on a loop, a block number outside
  // the file, or a record count that does not fit a block.
  Result<std::vector<ChainBlock>> walkChain();

  // Lets go of the mapped pages read so far (a pass over the whole file need not stay in
  // memory); blocks handed out stay valid.
  void releaseMappedPages();

  // Reads the header and the file's length again and drops cached blocks (the file was
  // changed by a writer). Pointers handed out before become invalid, as generation() tells.
  // Fails when the block size, record size or key changed.
  Status reread();

  // Drops cached blocks and renews the mapping (after this or another process changed the
  // file).
  void clearCache();

  // kHeaderCorrupt (table) or kIndexCorrupt (index files) naming the file and block.
  Status corrupt(std::uint32_t block, const std::string &why) const;

private:
  BlockReader(std::unique_ptr<File> file, Header header, std::uint32_t blockCount,
              std::size_t cacheBlocks);

  // A slot holds a run of consecutive blocks: one block, or up to kReadAheadBytes for
  // sequential reads through read() (a scan then costs one read call per run). Slots are kept in a
  // list by last use, the least recently used refilled.
  struct Slot {
    std::uint32_t first = 0; // 0: empty
    std::uint32_t count = 0;
    std::uint32_t older = 0, newer = 0; // neighbours in the list by last use
    std::vector<std::uint8_t> bytes;
  };
  static constexpr std::size_t kReadAheadBytes = 64 * 1024;
  // Passes through the mapping (walking the chain, reading block after block) let go of its
  // pages after this many bytes: a big file read once does not stay in memory.
  static constexpr std::size_t kReleaseBytes = 4 * 1024 * 1024;
  // What touching the mapping away from the last block taken is counted as.
  static constexpr std::size_t kMappedRunBytes = 1024 * 1024;
  static constexpr std::uint32_t kNoSlot = 0xFFFFFFFF;

  // Refills slot i starting with block n.
  Status load(std::uint32_t i, std::uint32_t n);
  // Moves slot i to the front of the list by last use.
  void markUsed(std::uint32_t i);
  Status fill(Slot &slot, std::uint32_t first, std::uint32_t count, bool fromMapping);
  // Counts what taking block n from the mapping brought into memory, letting go of the
  // mapping's pages every kReleaseBytes.
  void tookFromMapping(std::uint32_t n);
  // Where block n starts in the file.
  std::uint64_t offsetOf(std::uint32_t n) const;
  // Up to `want` bytes of the mapping from offset on: fewer, or none, past its end.
  std::span<const std::uint8_t> mappedAt(std::uint64_t offset, std::size_t want) const;

  std::unique_ptr<File> file_;
  Header header_;
  std::string name_;
  std::uint32_t blockCount_;
  std::uint32_t checkValue_ = 0;
  std::vector<Slot> slots_;
  std::uint32_t oldest_ = 0, newest_ = 0;
  std::vector<std::uint32_t> slotOf_; // per block number: the slot holding it, or kNoSlot
  // The file's memory mapping when the file system offers one: a reader going block after
  // block gets plain blocks from it directly and encrypted ones decrypted from it into the
  // slots.
  const std::uint8_t *mapping_ = nullptr;
  std::uint64_t mappedSize_ = 0;
  std::size_t mappedSinceRelease_ = 0;
  std::uint32_t nextSequential_ = 0; // the block a sequential reader would ask for next
  std::uint32_t lastMapped_ = 0;     // the block last taken from the mapping
  std::uint64_t generation_ = 0;
};

// The file name part of a path.
std::string baseName(const std::string &path);

} // namespace velanta::paradox
