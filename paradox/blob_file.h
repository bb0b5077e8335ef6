// Reading large-object values from the .MB file: single-blob blocks (type 2) and suballocated
// blocks (type 3), decrypted on the fly for encrypted tables. Internal to the engine.
#pragma once

#include "paradox/file.h"
#include "paradox/value.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace velanta::paradox {

class BlobFile {
public:
  BlobFile(std::unique_ptr<File> file, std::uint32_t checkValue);

  // The whole value into `out`. An inline value comes from the leader. A pointer that leads
  // nowhere gives kMemoCorrupt; a length or modification number that disagrees with the
  // .MB gives kBlobModified. Both name the .MB file and the offset.
  Status read(const Blob &blob, std::vector<std::uint8_t> &out);

  File &file() { return *file_; }

private:
  Status readPlain(std::uint64_t offset, std::size_t size, std::vector<std::uint8_t> &out);
  Status corrupt(ErrorCode code, std::uint64_t offset, const std::string &why) const;

  std::unique_ptr<File> file_;
  std::uint32_t checkValue_;
  std::vector<std::uint8_t> scratch_;
  std::vector<std::uint8_t> head_;
};

// Bytes of an inline or external blob's value as read by BlobFile, for a Blob with no .MB:
// only inline values can be produced.
Status readInlineBlob(const Blob &blob, std::vector<std::uint8_t> &out);

} // namespace velanta::paradox
