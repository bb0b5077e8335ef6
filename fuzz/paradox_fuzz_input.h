// The input format of paradox_fuzz: the files of one table family, each as
// [u8 kind][u32 LE length][bytes]. Shared by the target and the corpus maker.
#pragma once

#include "paradox/file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace velanta::fuzz {

inline constexpr std::array<std::string_view, 8> kFamilyExtensions = {"DB",  "MB",  "PX",  "XG0",
                                                                      "YG0", "X02", "Y02", "XG1"};

// Puts the files of an input into `fs` as /f/T.<extension>; a length past the end is cut.
inline void loadFamily(paradox::MemoryFileSystem &fs, const std::uint8_t *data, std::size_t size) {
  std::size_t pos = 0;
  while (pos + 5 <= size) {
    const std::uint8_t kind = data[pos];
    std::uint32_t length;
    std::memcpy(&length, data + pos + 1, 4);
    pos += 5;
    const std::size_t n = std::min<std::size_t>(length, size - pos);
    if (kind < kFamilyExtensions.size())
      fs.setContents("/f/T." + std::string(kFamilyExtensions[kind]),
                     std::vector<std::uint8_t>(data + pos, data + pos + n));
    pos += n;
  }
}

} // namespace velanta::fuzz
