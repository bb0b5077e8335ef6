#include "paradox/key_order.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace velanta::paradox {
namespace {

// Primary and secondary weights of the Pdox ANSI Cyrillic driver (cp1251). Letters of both
// cases share a primary weight; the secondary weight puts lower case first.
struct Weights {
  std::array<std::uint8_t, 256> primary{};
  std::array<std::uint8_t, 256> secondary{};
};

Weights makeAncyrrWeights() {
  Weights w;
  for (int b = 0; b <= 0x40; ++b)
    w.primary[b] = static_cast<std::uint8_t>(b);
  for (int i = 0; i < 26; ++i) {
    w.primary[0x41 + i] = w.primary[0x61 + i] = static_cast<std::uint8_t>(65 + i);
    w.secondary[0x41 + i] = 1;
  }
  for (int i = 0; i < 6; ++i) { // А..Е
    w.primary[0xC0 + i] = w.primary[0xE0 + i] = static_cast<std::uint8_t>(91 + i);
    w.secondary[0xC0 + i] = 1;
  }
  w.primary[0xA8] = w.primary[0xB8] = 97; // Ё sorts between Е and Ж
  w.secondary[0xA8] = 1;
  for (int i = 0; i < 26; ++i) { // Ж..Я
    w.primary[0xC6 + i] = w.primary[0xE6 + i] = static_cast<std::uint8_t>(98 + i);
    w.secondary[0xC6 + i] = 1;
  }
  int next = 124;
  for (int b = 0x5B; b <= 0x60; ++b)
    w.primary[b] = static_cast<std::uint8_t>(next++);
  for (int b = 0x7B; b <= 0x7F; ++b)
    w.primary[b] = static_cast<std::uint8_t>(next++);
  for (int b = 0x80; b <= 0xA7; ++b)
    w.primary[b] = static_cast<std::uint8_t>(next++);
  for (int b = 0xA9; b <= 0xB7; ++b)
    w.primary[b] = static_cast<std::uint8_t>(next++);
  for (int b = 0xB9; b <= 0xBF; ++b)
    w.primary[b] = static_cast<std::uint8_t>(next++);
  return w;
}

const Weights &ancyrr() {
  static const Weights weights = makeAncyrrWeights();
  return weights;
}

int compareBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  const auto n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

KeyOrder::KeyOrder(std::string_view sortOrderId) {
  std::string id(sortOrderId);
  std::transform(id.begin(), id.end(), id.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // Only ancyrr is modelled as a collation; the ascii family and unknown drivers compare bytes.
  collating_ = id == "ancyrr";
}

int KeyOrder::compareAlpha(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                           bool caseInsensitive) const {
  if (!collating_) return compareBytes(a, b);
  const auto &w = ancyrr();
  const auto n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i)
    if (w.primary[a[i]] != w.primary[b[i]]) return w.primary[a[i]] < w.primary[b[i]] ? -1 : 1;
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  if (caseInsensitive) return 0;
  for (std::size_t i = 0; i < n; ++i)
    if (w.secondary[a[i]] != w.secondary[b[i]])
      return w.secondary[a[i]] < w.secondary[b[i]] ? -1 : 1;
  return compareBytes(a, b);
}

int KeyOrder::compare(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                      const std::vector<KeyPart> &parts) const {
  for (const KeyPart &part : parts) {
    const auto fa =
        a.subspan(static_cast<std::size_t>(part.offset), static_cast<std::size_t>(part.size));
    const auto fb =
        b.subspan(static_cast<std::size_t>(part.offset), static_cast<std::size_t>(part.size));
    int c = part.alpha ? compareAlpha(fa, fb, part.caseInsensitive) : compareBytes(fa, fb);
    if (part.descending) c = -c;
    if (c != 0) return c;
  }
  return 0;
}

} // namespace velanta::paradox
