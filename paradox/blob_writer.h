// Storing and releasing large-object values in the .MB file: suballocated 4 KB blocks for
// values up to 2 KB, single-blob blocks for bigger ones, free blocks reused before the file
// grows; and the 10-byte trailer plus leader that a record keeps for each blob field.
#pragma once

#include "paradox/byte_store.h"
#include "paradox/field.h"
#include "paradox/status.h"

#include <cstdint>
#include <map>
#include <set>
#include <string_view>
#include <vector>

namespace velanta::paradox {

// Where a stored value lives: the trailer's offset/index word, length, modification number.
struct BlobRef {
  std::uint32_t offsetIndex = 0; // block offset | entry index (0xFF single blob); 0 inline
  std::uint32_t length = 0;
  std::uint16_t modification = 0;
  bool external() const { return offsetIndex != 0; }
};

// Reads the trailer of a blob field from its record bytes.
BlobRef readBlobTrailer(const Field &field, const std::uint8_t *fieldBytes);

// The whole value of a blob field (leader for inline values, else from the .MB), checked
// against the block's type, length and modification number; kMemoCorrupt when they disagree.
Result<std::string> readStoredBlob(ByteStore &mb, const Field &field,
                                   const std::uint8_t *fieldBytes);

class BlobWriter {
public:
  // `mb` is the plain view of the .MB (wrap an encrypted file in EncryptedBlobStore).
  explicit BlobWriter(ByteStore &mb);

  // The 4 KB header block of a new .MB.
  static std::vector<std::uint8_t> newHeaderBlock();

  // Stores `value` for `field`: inline in the leader when it fits there, otherwise in the .MB.
  // Writes leader + trailer into fieldBytes (field.width bytes).
  Status store(const Field &field, std::string_view value, std::uint8_t *fieldBytes);
  // Releases an external value (a blank or inline one needs nothing).
  Status release(const BlobRef &ref);

private:
  Status scanOnce();
  Result<std::uint32_t> storeSmall(std::string_view value, std::uint16_t modification);
  Result<std::uint32_t> storeLarge(std::string_view value, std::uint16_t modification);
  Result<std::uint64_t> takeUnits(std::uint16_t units);
  Result<std::uint32_t> placeInSubBlock(std::uint64_t offset, std::string_view value,
                                        std::uint16_t modification);

  ByteStore &mb_;
  bool scanned_ = false;
  std::uint16_t modification_ = 1;
  std::map<std::uint64_t, std::uint16_t> freeRuns_; // offset -> 4 KB units
  std::set<std::uint64_t> subBlocks_;               // type-3 blocks that may have room
};

} // namespace velanta::paradox
