// A file's bytes as the writing routines see them: plain (decrypted) bytes at file offsets.
// Implementations: a growable memory buffer (building new files), the pending writes of one
// change (page_overlay.h), and a view that encrypts/decrypts the .MB's 256-byte chunks.
#pragma once

#include "paradox/crypto.h"
#include "paradox/status.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace velanta::paradox {

class ByteStore {
public:
  virtual ~ByteStore() = default;
  // Bytes beyond the end read as zeros.
  virtual Status read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
  virtual Status write(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
  virtual std::uint64_t size() const = 0;
};

class MemoryStore final : public ByteStore {
public:
  Status read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    std::fill(out.begin(), out.end(), 0);
    if (offset < bytes.size())
      std::memcpy(out.data(), bytes.data() + offset,
                  std::min<std::size_t>(out.size(), bytes.size() - offset));
    return {};
  }
  Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    if (bytes.size() < offset + data.size()) bytes.resize(offset + data.size(), 0);
    std::memcpy(bytes.data() + offset, data.data(), data.size());
    return {};
  }
  std::uint64_t size() const override { return bytes.size(); }

  std::vector<std::uint8_t> bytes;
};

// The .MB of an encrypted table: the whole file is enciphered in 256-byte chunks with
// file-constant parameters, so any range can be mapped chunk by chunk.
class EncryptedBlobStore final : public ByteStore {
public:
  EncryptedBlobStore(ByteStore &inner, std::uint32_t checkValue)
      : inner_(inner), checkValue_(checkValue) {}

  Status read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    const std::uint64_t start = offset / 256 * 256;
    const std::uint64_t end = (offset + out.size() + 255) / 256 * 256;
    std::vector<std::uint8_t> chunk(end - start);
    if (Status s = inner_.read(start, chunk); !s) return s;
    decryptBlobRange(chunk, checkValue_);
    std::memcpy(out.data(), chunk.data() + (offset - start), out.size());
    return {};
  }
  Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    const std::uint64_t start = offset / 256 * 256;
    const std::uint64_t end = (offset + data.size() + 255) / 256 * 256;
    std::vector<std::uint8_t> chunk(end - start);
    if (Status s = read(start, chunk); !s) return s;
    std::memcpy(chunk.data() + (offset - start), data.data(), data.size());
    encryptBlobRange(chunk, checkValue_);
    return inner_.write(start, chunk);
  }
  std::uint64_t size() const override { return inner_.size(); }

private:
  ByteStore &inner_;
  std::uint32_t checkValue_;
};

} // namespace velanta::paradox
