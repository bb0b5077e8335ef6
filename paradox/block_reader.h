// Reading a file made of a header and fixed-size blocks (.DB, .PX, .Xnn/.Ynn, .XGn/.YGn):
// blocks come through a small cache, decrypted when the file is encrypted, and the chain of
// live blocks can be walked. Internal to the engine.
#pragma once

#include "paradox/file.h"
#include "paradox/header.h"

#include <cstdint>
#include <memory>
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
  // Records in a block by its header; kHeaderCorrupt / kIndexCorrupt when they cannot fit.
  Result<int> recordCount(const std::uint8_t *block, std::uint32_t n) const;

  // Follows the chain from the header's first block. Fails on a loop, a block number outside
  // the file, or a record count that does not fit a block.
  Result<std::vector<ChainBlock>> walkChain();

  // Drops cached blocks and renews the mapping (after this or another process changed the
  // file).
  void clearCache();

  // kHeaderCorrupt (table) or kIndexCorrupt (index files) naming the file and block.
  Status corrupt(std::uint32_t block, const std::string &why) const;

private:
  BlockReader(std::unique_ptr<File> file, Header header, std::uint32_t blockCount,
              std::size_t cacheBlocks);

  // A slot holds a run of consecutive blocks: one block for random reads, up to
  // kReadAheadBytes for sequential ones (a scan then costs one read call per run).
  struct Slot {
    std::uint32_t first = 0; // 0: empty
    std::uint32_t count = 0;
    std::uint64_t lastUse = 0;
    std::vector<std::uint8_t> bytes;
  };
  static constexpr std::size_t kReadAheadBytes = 64 * 1024;

  Status fill(Slot &slot, std::uint32_t first, std::uint32_t count);

  std::unique_ptr<File> file_;
  Header header_;
  std::string name_;
  std::uint32_t blockCount_;
  std::uint32_t checkValue_ = 0;
  std::vector<Slot> slots_;
  // Plain files are read straight from a memory mapping when the file system offers one.
  const std::uint8_t *mapping_ = nullptr;
  std::uint64_t mappedSize_ = 0;
  std::size_t lastSlot_ = 0;
  std::uint32_t nextSequential_ = 0; // the block a sequential reader would ask for next
  std::uint64_t clock_ = 0;
};

// The file name part of a path.
std::string baseName(const std::string &path);

} // namespace velanta::paradox
