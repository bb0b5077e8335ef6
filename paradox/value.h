// Typed field values. Value is a view: Text, Bytes and Blob refer to the bytes they were
// decoded from (a cursor's current record, or the caller's buffer when encoding) and stay
// valid only as long as those bytes do. Copy them out (std::string(text.bytes)) to keep them.
#pragma once

#include "paradox/status.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace velanta::paradox {

// A blank value (all stored bytes zero). Distinct from zero, false and the empty string.
struct Blank {
  bool operator==(const Blank &) const = default;
};

// Alpha: single-byte text (code page 1251 after the table's conversion), without padding.
struct Text {
  std::string_view bytes;
  bool operator==(const Text &) const = default;
};

// Bytes (Y): the field's raw bytes, padding included.
struct Bytes {
  std::span<const std::uint8_t> data;
  bool operator==(const Bytes &other) const {
    return std::equal(data.begin(), data.end(), other.data.begin(), other.data.end());
  }
};

// Day number: 1 January of year 1 (proleptic Gregorian) is day 1.
struct Date {
  std::int32_t day = 0;
  static Date fromYmd(int year, int month, int dayOfMonth);
  void toYmd(int &year, int &month, int &dayOfMonth) const;
  std::string toString() const; // "YYYY-MM-DD"
  bool operator==(const Date &) const = default;
};

// Milliseconds since midnight.
struct Time {
  std::int32_t milliseconds = 0;
  std::string toString() const; // "HH:MM:SS.mmm"
  bool operator==(const Time &) const = default;
};

// Milliseconds counted so that Date day d starts at d × 86 400 000.
struct Timestamp {
  double milliseconds = 0;
  std::string toString() const; // "YYYY-MM-DDTHH:MM:SS.mmm"
  bool operator==(const Timestamp &) const = default;
};

// Fixed-point decimal of up to 32 digits, `decimals` of them after the point.
struct Bcd {
  bool negative = false;
  std::uint8_t decimals = 0;
  std::array<std::uint8_t, 32> digits{}; // most significant first, 0..9 each
  std::string toString() const;          // "-12.3400": no leading zeros, all decimals
  // Parses "[-]digits[.digits]" into a value with the given number of decimals; more
  // fractional digits than that, or too many digits, give kInvalidArgument.
  static Result<Bcd> parse(std::string_view text, int decimals);
  bool operator==(const Bcd &) const = default;
};

// A large-object value as the record describes it. The bytes themselves are read through the
// cursor (they may live in the .MB file).
struct Blob {
  std::span<const std::uint8_t> leader; // the record's copy of the first bytes (zero-padded)
  std::uint32_t length = 0;             // total length of the value
  std::uint32_t blockOffset = 0;        // .MB block offset (multiple of 4096), 0 when inline
  std::uint8_t index = 0;               // 0xFF single-blob block, else suballocation entry
  std::uint16_t modification = 0;
  bool isInline() const { return length <= leader.size(); }
  bool operator==(const Blob &other) const {
    return std::equal(leader.begin(), leader.end(), other.leader.begin(), other.leader.end()) &&
           length == other.length && blockOffset == other.blockOffset && index == other.index &&
           modification == other.modification;
  }
};

// One field's value. int32 serves S, I and +; double serves N and $; bool serves L.
using Value =
    std::variant<Blank, Text, Bytes, std::int32_t, double, bool, Bcd, Date, Time, Timestamp, Blob>;

inline bool isBlank(const Value &value) {
  return std::holds_alternative<Blank>(value);
}

} // namespace velanta::paradox
