// Fixed-width little- and big-endian reads and writes on byte buffers.
#pragma once

#include <cstdint>

namespace velanta::paradox::bytes {

inline std::uint16_t getU16le(const std::uint8_t *p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t getU32le(const std::uint8_t *p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int16_t getS16le(const std::uint8_t *p) {
  return static_cast<std::int16_t>(getU16le(p));
}
inline void putU16le(std::uint8_t *p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32le(std::uint8_t *p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint64_t getBe(const std::uint8_t *p, int n) {
  std::uint64_t v = 0;
  for (int i = 0; i < n; ++i)
    v = (v << 8) | p[i];
  return v;
}
inline void putBe(std::uint8_t *p, std::uint64_t v, int n) {
  for (int i = n - 1; i >= 0; --i) {
    p[i] = static_cast<std::uint8_t>(v);
    v >>= 8;
  }
}

} // namespace velanta::paradox::bytes
