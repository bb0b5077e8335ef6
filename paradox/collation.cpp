#include "paradox/collation.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>

namespace velanta::paradox {
namespace {

struct Weights {
  std::array<std::uint8_t, 256> primary{};
  std::array<std::uint8_t, 256> secondary{};
};

// The ancyrr driver: Latin and Cyrillic letters share a weight across cases (lower case first
// on ties), Ё between Е and Ж, punctuation after the letters.
Weights makeAncyrr() {
  Weights w;
  int next = 0;
  for (int b = 0; b <= 0x40; ++b)
    w.primary[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(next++);
  const auto letter = [&w](int upper, int lowerCase, int weight) {
    w.primary[static_cast<std::size_t>(upper)] = static_cast<std::uint8_t>(weight);
    w.primary[static_cast<std::size_t>(lowerCase)] = static_cast<std::uint8_t>(weight);
    w.secondary[static_cast<std::size_t>(upper)] = 1;
  };
  for (int i = 0; i < 26; ++i)
    letter(0x41 + i, 0x61 + i, 65 + i);
  for (int i = 0; i < 6; ++i)
    letter(0xC0 + i, 0xE0 + i, 91 + i);
  letter(0xA8, 0xB8, 97);
  for (int i = 0; i < 26; ++i)
    letter(0xC6 + i, 0xE6 + i, 98 + i);
  next = 124;
  for (const auto &[from, to] :
       {std::pair{0x5B, 0x60}, std::pair{0x7B, 0xA7}, std::pair{0xA9, 0xB7}, std::pair{0xB9, 0xBF}})
    for (int b = from; b <= to; ++b)
      w.primary[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(next++);
  return w;
}

const Weights &ancyrr() {
  static const Weights weights = makeAncyrr();
  return weights;
}

// Upper case in cp1251 (Latin and Russian letters, ё).
std::uint8_t fold(std::uint8_t b) {
  if (b >= 'a' && b <= 'z') return static_cast<std::uint8_t>(b - 0x20);
  if (b >= 0xE0) return static_cast<std::uint8_t>(b - 0x20);
  if (b == 0xB8) return 0xA8;
  return b;
}

int sign(int v) {
  return (v > 0) - (v < 0);
}

int compareAlpha(Collation collation, bool caseInsensitive, const std::uint8_t *a,
                 const std::uint8_t *b, int width) {
  const auto n = static_cast<std::size_t>(width);
  switch (collation) {
  case Collation::kAncyrr: {
    const auto &w = ancyrr();
    for (std::size_t i = 0; i < n; ++i)
      if (w.primary[a[i]] != w.primary[b[i]]) return w.primary[a[i]] < w.primary[b[i]] ? -1 : 1;
    if (caseInsensitive) return 0;
    for (std::size_t i = 0; i < n; ++i)
      if (w.secondary[a[i]] != w.secondary[b[i]])
        return w.secondary[a[i]] < w.secondary[b[i]] ? -1 : 1;
    return sign(std::memcmp(a, b, n));
  }
  case Collation::kApproximate:
  case Collation::kBytes:
    if (caseInsensitive || collation == Collation::kApproximate) {
      for (std::size_t i = 0; i < n; ++i)
        if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]) ? -1 : 1;
      if (caseInsensitive) return 0;
    }
    return sign(std::memcmp(a, b, n));
  }
  return 0;
}

} // namespace

Collation collationFor(std::string_view sortOrderId) {
  std::string id(sortOrderId);
  std::transform(id.begin(), id.end(), id.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (id == "ancyrr") return Collation::kAncyrr;
  if (id.empty() || id == "ascii" || id == "dbwinus0" || id == "blrom800") return Collation::kBytes;
  return Collation::kApproximate;
}

int compareKeyField(const KeyField &field, Collation collation, const std::uint8_t *a,
                    const std::uint8_t *b) {
  const int result = field.type == FieldType::kAlpha
                         ? compareAlpha(collation, field.caseInsensitive, a, b, field.width)
                         : sign(std::memcmp(a, b, static_cast<std::size_t>(field.width)));
  return field.descending ? -result : result;
}

int compareKey(std::span<const KeyField> fields, Collation collation, const std::uint8_t *record,
               const std::uint8_t *key) {
  int keyOffset = 0;
  for (const KeyField &field : fields) {
    if (const int cmp = compareKeyField(field, collation, record + field.offset, key + keyOffset))
      return cmp;
    keyOffset += field.width;
  }
  return 0;
}

} // namespace velanta::paradox
