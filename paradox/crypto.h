// Table encryption: 256-byte chunk transform, the password check value stored in the header,
// and the per-block (.DB and index files) and per-file (.MB) parameters.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace velanta::paradox {

// The 32-bit check value of a password (bytes in the table's code page). 0 for an empty
// password, which means "not encrypted". Case-sensitive.
std::uint32_t passwordCheckValue(std::string_view password);

// Data block `blockNumber` (1-based) of a .DB / index file, in place. block.size() must be a
// multiple of 256 (a short final block is padded by the caller).
void decryptBlock(std::span<std::uint8_t> block, std::uint32_t checkValue,
                  std::uint32_t blockNumber);
// The same from `in` into `out` (another place, e.g. a read-only mapping of the file into a
// cache buffer); the shorter of the two sets how many whole 256-byte chunks are decrypted.
void decryptBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                  std::uint32_t checkValue, std::uint32_t blockNumber);
void encryptBlock(std::span<std::uint8_t> block, std::uint32_t checkValue,
                  std::uint32_t blockNumber);

// A byte range of the .MB file starting at fileOffset, in place. fileOffset and the size must
// be multiples of 256.
void decryptBlobRange(std::span<std::uint8_t> bytes, std::uint32_t checkValue);
void encryptBlobRange(std::span<std::uint8_t> bytes, std::uint32_t checkValue);

} // namespace velanta::paradox
