#include "paradox/codec.h"

#include "paradox/bytes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace velanta::paradox {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// Day number of 1970-01-01 in the Date scheme (0001-01-01 = 1).
constexpr std::int64_t kUnixEpochDay = 719'163;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil calendar algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t &y, unsigned &m, unsigned &d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// Fixed-width blank tests without a loop (the scan's hot path).
inline bool zero4(const std::uint8_t *p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v == 0;
}
inline bool zero8(const std::uint8_t *p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v == 0;
}

bool allZero(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

std::int32_t decodeInteger(const std::uint8_t *p, int n) {
  const std::uint64_t raw = bytes::getBe(p, n) ^ (std::uint64_t{1} << (8 * n - 1));
  // Sign-extend from n bytes.
  const int shift = 64 - 8 * n;
  return static_cast<std::int32_t>(static_cast<std::int64_t>(raw << shift) >> shift);
}

double decodeDouble(const std::uint8_t *p) {
  std::uint64_t raw = bytes::getBe(p, 8);
  if (raw & (std::uint64_t{1} << 63))
    raw &= ~(std::uint64_t{1} << 63);
  else
    raw = ~raw;
  double value;
  std::memcpy(&value, &raw, sizeof value);
  return value;
}

void encodeDouble(double value, std::uint8_t *p) {
  std::uint64_t raw;
  std::memcpy(&raw, &value, sizeof raw);
  if (raw & (std::uint64_t{1} << 63))
    raw = ~raw;
  else
    raw |= std::uint64_t{1} << 63;
  bytes::putBe(p, raw, 8);
}

Value decodeBcd(std::span<const std::uint8_t> stored) {
  Bcd bcd;
  const std::uint8_t head = stored[0];
  bcd.negative = (head & 0x80) == 0;
  bcd.decimals = static_cast<std::uint8_t>(std::min(head & 0x3F, 32));
  // Nibbles above 9 occur in the last places of real 32-decimal values; they are taken at
  // their arithmetic worth (nibble × 10^-place) and carried, as a numeric reading would.
  std::array<int, 32> digits{};
  for (std::size_t i = 0; i < 32; ++i) {
    const std::uint8_t byte = stored[1 + i / 2];
    const int nibble = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
    digits[i] = bcd.negative ? 15 - nibble : nibble;
  }
  for (std::size_t i = 31; i > 0; --i) {
    digits[i - 1] += digits[i] / 10;
    digits[i] %= 10;
  }
  if (digits[0] > 9) return Blank{}; // cannot be represented in 32 digits
  for (std::size_t i = 0; i < 32; ++i)
    bcd.digits[i] = static_cast<std::uint8_t>(digits[i]);
  if (bcd.negative &&
      std::all_of(bcd.digits.begin(), bcd.digits.end(), [](std::uint8_t d) { return d == 0; }))
    bcd.negative = false;
  return bcd;
}

Value decodeBlob(const Field &field, std::span<const std::uint8_t> stored) {
  const auto leaderSize = static_cast<std::size_t>(std::max(field.width - 10, 0));
  if (field.width < 10) return Bytes{stored};
  const std::uint8_t *trailer = stored.data() + leaderSize;
  Blob blob;
  blob.leader = stored.first(leaderSize);
  const std::uint32_t pointer = bytes::getU32le(trailer);
  blob.blockOffset = pointer & 0xFFFFFF00u;
  blob.index = static_cast<std::uint8_t>(pointer & 0xFF);
  blob.length = bytes::getU32le(trailer + 4);
  blob.modification = bytes::getU16le(trailer + 8);
  if (blob.length == 0) return Blank{};
  return blob;
}

Status mismatch(const Field &field, const char *why) {
  return Status::error(ErrorCode::kInvalidArgument, {"поле " + field.name + ": " + why});
}

void fillTwoDigits(char *out, int value) {
  out[0] = static_cast<char>('0' + value / 10 % 10);
  out[1] = static_cast<char>('0' + value % 10);
}

} // namespace

Date Date::fromYmd(int year, int month, int dayOfMonth) {
  return Date{static_cast<std::int32_t>(
      daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(dayOfMonth)) +
      kUnixEpochDay)};
}

void Date::toYmd(int &year, int &month, int &dayOfMonth) const {
  std::int64_t y;
  unsigned m, d;
  civilFromDays(static_cast<std::int64_t>(day) - kUnixEpochDay, y, m, d);
  year = static_cast<int>(y);
  month = static_cast<int>(m);
  dayOfMonth = static_cast<int>(d);
}

std::string Date::toString() const {
  int y, m, d;
  toYmd(y, m, d);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
  return buffer;
}

std::string Time::toString() const {
  const std::int32_t ms = milliseconds;
  char buffer[16] = "00:00:00.000";
  fillTwoDigits(buffer, ms / 3'600'000);
  fillTwoDigits(buffer + 3, ms / 60'000 % 60);
  fillTwoDigits(buffer + 6, ms / 1000 % 60);
  buffer[9] = static_cast<char>('0' + ms / 100 % 10);
  buffer[10] = static_cast<char>('0' + ms / 10 % 10);
  buffer[11] = static_cast<char>('0' + ms % 10);
  if (ms < 0 || ms >= kMsPerDay) {
    std::snprintf(buffer, sizeof buffer, "%d", ms);
  }
  return buffer;
}

std::string Timestamp::toString() const {
  if (!std::isfinite(milliseconds) || std::fabs(milliseconds) > 1e18) return "invalid";
  const auto total = static_cast<std::int64_t>(std::llround(milliseconds));
  std::int64_t day = total / kMsPerDay;
  std::int64_t rest = total % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --day;
  }
  return Date{static_cast<std::int32_t>(day)}.toString() + "T" +
         Time{static_cast<std::int32_t>(rest)}.toString();
}

std::string Bcd::toString() const {
  const int integerDigits = 32 - decimals;
  std::string text;
  if (negative) text += '-';
  int first = 0;
  while (first < integerDigits - 1 && digits[static_cast<std::size_t>(first)] == 0)
    ++first;
  if (integerDigits == 0) text += '0';
  for (int i = first; i < integerDigits; ++i)
    text += static_cast<char>('0' + digits[static_cast<std::size_t>(i)]);
  if (decimals > 0) {
    text += '.';
    for (int i = integerDigits; i < 32; ++i)
      text += static_cast<char>('0' + digits[static_cast<std::size_t>(i)]);
  }
  return text;
}

Result<Bcd> Bcd::parse(std::string_view text, int decimals) {
  if (decimals < 0 || decimals > 32)
    return Status::error(ErrorCode::kInvalidArgument, {std::string(text)});
  Bcd bcd;
  bcd.decimals = static_cast<std::uint8_t>(decimals);
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    bcd.negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  const auto isDigits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if ((whole.empty() && fraction.empty()) || !isDigits(whole) || !isDigits(fraction) ||
      fraction.size() > static_cast<std::size_t>(decimals) ||
      whole.size() > static_cast<std::size_t>(32 - decimals))
    return Status::error(ErrorCode::kInvalidArgument, {std::string(text)});
  const std::size_t integerDigits = 32 - static_cast<std::size_t>(decimals);
  for (std::size_t i = 0; i < whole.size(); ++i)
    bcd.digits[integerDigits - whole.size() + i] = static_cast<std::uint8_t>(whole[i] - '0');
  for (std::size_t i = 0; i < fraction.size(); ++i)
    bcd.digits[integerDigits + i] = static_cast<std::uint8_t>(fraction[i] - '0');
  if (std::all_of(bcd.digits.begin(), bcd.digits.end(), [](std::uint8_t d) { return d == 0; }))
    bcd.negative = false;
  return bcd;
}

Value decodeValue(const Field &field, std::span<const std::uint8_t> stored) {
  const std::uint8_t *p = stored.data();
  switch (field.type) {
  case FieldType::kAlpha: {
    const auto *chars = reinterpret_cast<const char *>(p);
    const std::size_t length = ::strnlen(chars, stored.size());
    if (length == 0) return Blank{};
    return Text{std::string_view(chars, length)};
  }
  case FieldType::kBytes:
    if (allZero(stored)) return Blank{};
    return Bytes{stored};
  case FieldType::kShort:
    if (stored.size() < 2 || (p[0] | p[1]) == 0) return Blank{};
    return decodeInteger(p, 2);
  case FieldType::kLong:
  case FieldType::kAutoIncrement:
    if (stored.size() < 4 || zero4(p)) return Blank{};
    return decodeInteger(p, 4);
  case FieldType::kDate:
    if (stored.size() < 4 || zero4(p)) return Blank{};
    return Date{decodeInteger(p, 4)};
  case FieldType::kTime:
    if (stored.size() < 4 || zero4(p)) return Blank{};
    return Time{decodeInteger(p, 4)};
  case FieldType::kNumber:
  case FieldType::kMoney:
    if (stored.size() < 8 || zero8(p)) return Blank{};
    return decodeDouble(p);
  case FieldType::kTimestamp:
    if (stored.size() < 8 || zero8(p)) return Blank{};
    return Timestamp{decodeDouble(p)};
  case FieldType::kLogical:
    if (stored.empty() || p[0] == 0) return Blank{};
    return p[0] != 0x80;
  case FieldType::kBcd:
    if (stored.size() < 17 || allZero(stored.first(17))) return Blank{};
    return decodeBcd(stored);
  case FieldType::kMemo:
  case FieldType::kBinary:
  case FieldType::kFormattedMemo:
  case FieldType::kOle:
  case FieldType::kGraphic:
    return decodeBlob(field, stored);
  }
  return allZero(stored) ? Value(Blank{}) : Value(Bytes{stored});
}

Status encodeValue(const Field &field, const Value &value, std::span<std::uint8_t> out) {
  if (out.size() != static_cast<std::size_t>(field.width))
    return mismatch(field, "размер буфера не совпадает с полем");
  std::array<std::uint8_t, 17> scratch{};
  if (std::holds_alternative<Blank>(value)) {
    std::fill(out.begin(), out.end(), 0);
    return {};
  }
  const auto asInteger = [&](std::int64_t &result) {
    if (const auto *i = std::get_if<std::int32_t>(&value)) {
      result = *i;
      return true;
    }
    if (const auto *d = std::get_if<double>(&value);
        d && std::isfinite(*d) && *d == std::trunc(*d) && std::fabs(*d) < 4e9) {
      result = static_cast<std::int64_t>(*d);
      return true;
    }
    return false;
  };
  switch (field.type) {
  case FieldType::kAlpha: {
    const auto *text = std::get_if<Text>(&value);
    if (!text) return mismatch(field, "ожидается текст");
    if (text->bytes.size() > out.size()) return mismatch(field, "текст длиннее поля");
    if (text->bytes.find('\0') != std::string_view::npos)
      return mismatch(field, "текст содержит нулевой байт");
    std::fill(out.begin(), out.end(), 0);
    std::memcpy(out.data(), text->bytes.data(), text->bytes.size());
    return {};
  }
  case FieldType::kBytes: {
    const auto *data = std::get_if<Bytes>(&value);
    if (!data) return mismatch(field, "ожидаются байты");
    if (data->data.size() > out.size()) return mismatch(field, "значение длиннее поля");
    std::fill(out.begin(), out.end(), 0);
    std::copy(data->data.begin(), data->data.end(), out.begin());
    return {};
  }
  case FieldType::kShort:
  case FieldType::kLong:
  case FieldType::kAutoIncrement: {
    std::int64_t number;
    if (!asInteger(number)) return mismatch(field, "ожидается целое число");
    const int n = field.type == FieldType::kShort ? 2 : 4;
    const std::int64_t limit = (std::int64_t{1} << (8 * n - 1)) - 1;
    if (number < -limit || number > limit)
      return mismatch(field, "число вне допустимого диапазона");
    bytes::putBe(out.data(), static_cast<std::uint64_t>(number) ^ (std::uint64_t{1} << (8 * n - 1)),
                 n);
    return {};
  }
  case FieldType::kDate:
  case FieldType::kTime: {
    std::int32_t number;
    if (const auto *date = std::get_if<Date>(&value); date && field.type == FieldType::kDate)
      number = date->day;
    else if (const auto *time = std::get_if<Time>(&value); time && field.type == FieldType::kTime)
      number = time->milliseconds;
    else
      return mismatch(field, field.type == FieldType::kDate ? "ожидается дата" : "ожидается время");
    if (number == INT32_MIN) return mismatch(field, "значение вне допустимого диапазона");
    bytes::putBe(out.data(), static_cast<std::uint32_t>(number) ^ 0x80000000u, 4);
    return {};
  }
  case FieldType::kNumber:
  case FieldType::kMoney: {
    double number;
    if (const auto *d = std::get_if<double>(&value))
      number = *d;
    else if (const auto *i = std::get_if<std::int32_t>(&value))
      number = *i;
    else
      return mismatch(field, "ожидается число");
    encodeDouble(number, out.data());
    return {};
  }
  case FieldType::kTimestamp: {
    const auto *stamp = std::get_if<Timestamp>(&value);
    if (!stamp) return mismatch(field, "ожидается дата и время");
    encodeDouble(stamp->milliseconds, out.data());
    return {};
  }
  case FieldType::kLogical: {
    const auto *flag = std::get_if<bool>(&value);
    if (!flag) return mismatch(field, "ожидается логическое значение");
    out[0] = *flag ? 0x81 : 0x80;
    return {};
  }
  case FieldType::kBcd: {
    const auto *bcd = std::get_if<Bcd>(&value);
    if (!bcd) return mismatch(field, "ожидается десятичное число");
    if (bcd->decimals != field.size)
      return mismatch(field, "число знаков после запятой не совпадает с полем");
    scratch[0] = static_cast<std::uint8_t>((bcd->negative ? 0x00 : 0x80) | 0x40 | bcd->decimals);
    for (int i = 0; i < 32; ++i) {
      std::uint8_t digit = bcd->digits[static_cast<std::size_t>(i)];
      if (digit > 9) return mismatch(field, "неверная цифра");
      if (bcd->negative) digit = static_cast<std::uint8_t>(15 - digit);
      auto &byte = scratch[static_cast<std::size_t>(1 + i / 2)];
      byte = static_cast<std::uint8_t>(i % 2 == 0 ? (digit << 4) : (byte | digit));
    }
    std::copy(scratch.begin(), scratch.end(), out.begin());
    return {};
  }
  case FieldType::kMemo:
  case FieldType::kBinary:
  case FieldType::kFormattedMemo:
  case FieldType::kOle:
  case FieldType::kGraphic: {
    const auto *blob = std::get_if<Blob>(&value);
    if (!blob || field.width < 10) return mismatch(field, "ожидается BLOB-значение");
    const auto leaderSize = static_cast<std::size_t>(field.width - 10);
    if (blob->leader.size() > leaderSize) return mismatch(field, "начало значения длиннее поля");
    std::fill(out.begin(), out.end(), 0);
    std::copy(blob->leader.begin(), blob->leader.end(), out.begin());
    std::uint8_t *trailer = out.data() + leaderSize;
    bytes::putU32le(trailer, (blob->blockOffset & 0xFFFFFF00u) | blob->index);
    bytes::putU32le(trailer + 4, blob->length);
    bytes::putU16le(trailer + 8, blob->modification);
    return {};
  }
  }
  return mismatch(field, "неизвестный тип поля");
}

} // namespace velanta::paradox
