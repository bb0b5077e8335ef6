// The tree over a sorted block file: the .PX over a keyed table's blocks, the .Ynn/.YGn over
// an index's .Xnn/.XGn blocks. Used only as a hint for seeking; callers verify what it finds.
// Internal to the engine.
#pragma once

#include "paradox/block_reader.h"
#include "paradox/collation.h"

#include <memory>
#include <span>

namespace velanta::paradox {

class IndexTree {
public:
  explicit IndexTree(std::unique_ptr<BlockReader> file) : file_(std::move(file)) {}

  BlockReader &file() { return *file_; }

  // Descends from the root to a block of the file the tree is built over. At every level it
  // takes the last entry whose first key field is below `key` (orEqual: not above it), or the
  // first entry when there is none. `fields` are the leading key fields of an entry, packed
  // from offset 0; `key` holds them back to back.
  Result<std::uint32_t> descend(const std::uint8_t *key, std::span<const KeyField> fields,
                                Collation collation, bool orEqual);

private:
  std::unique_ptr<BlockReader> file_;
};

} // namespace velanta::paradox
