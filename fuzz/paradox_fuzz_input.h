// The input format of paradox_fuzz: the files of one table family, each as
// [u8 kind][u32 LE length][bytes]. Shared by the target and the corpus maker.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace velanta::fuzz {

inline constexpr std::array<std::string_view, 8> kFamilyExtensions = {"DB",  "MB",  "PX",  "XG0",
                                                                      "YG0", "X02", "Y02", "XG1"};

} // namespace velanta::fuzz
