// Single-byte text conversion: tables written with an OEM (DOS) language driver hold text in
// code page 437, 850, 852, 865 or 866; the program works in 1251. ANSI drivers (and code page
// 0) hand their bytes over unchanged, whatever code page the header names.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace velanta::paradox {

using ByteMap = std::array<std::uint8_t, 256>;

// True for 437, 850, 852, 865, 866.
bool isOemCodePage(int codePage);
// Byte map OEM code page -> 1251 (nullptr when codePage is not an OEM one). Characters 1251
// lacks become '?'.
const ByteMap *oemTo1251(int codePage);
// The reverse map, 1251 -> OEM code page, for values the program hands to the engine (range
// bounds). Characters the OEM page lacks become '?'.
const ByteMap *ansi1251ToOem(int codePage);

// The code page a table's text is converted from: 0 for none (ANSI driver, code page 0),
// else one of the OEM pages. `headerCodePage` is 0 when the file has no data header.
int textCodePage(int headerCodePage, bool hasDataHeader, std::uint8_t sortOrder,
                 std::string_view sortOrderId);

} // namespace velanta::paradox
