// Ordering of index keys as the original engine sorts them: field by field, alpha fields by
// the table's language driver (ancyrr or plain bytes), every other type by its stored bytes,
// which the field encodings make sortable.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace velanta::paradox {

// How one key field compares.
struct KeyPart {
  int offset = 0;     // byte offset of the field inside the key
  int size = 0;       // stored size of the field
  bool alpha = false; // collated (true) or compared as unsigned bytes
  bool descending = false;
  bool caseInsensitive = false;
};

// The collation of a language driver, chosen by its sort-order id ("ancyrr", "ascii", ...).
class KeyOrder {
public:
  explicit KeyOrder(std::string_view sortOrderId);

  // <0, 0, >0 as a sorts before, with, after b; both spans are whole keys laid out per parts.
  int compare(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
              const std::vector<KeyPart> &parts) const;

  // One alpha field over its full width.
  int compareAlpha(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                   bool caseInsensitive) const;

  bool collating() const { return collating_; }

private:
  bool collating_ = false;
};

} // namespace velanta::paradox
