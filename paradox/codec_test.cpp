#include "paradox/codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace velanta::paradox {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

Field makeField(FieldType type, int size) {
  Field field;
  field.name = "F";
  field.type = type;
  field.size = size;
  field.width = storedFieldSize(type, size);
  return field;
}

Bytes8 encoded(const Field &field, const Value &value) {
  Bytes8 out(static_cast<std::size_t>(field.width), 0xEE);
  EXPECT_TRUE(encodeValue(field, value, out).isOk());
  return out;
}

struct StoredCase {
  FieldType type;
  int size;
  Value value;
  Bytes8 stored;
};

// Encodings taken from real files and the format notes.
TEST(Codec, KnownEncodingsBothWays) {
  const std::vector<StoredCase> cases = {
      {FieldType::kShort, 2, std::int32_t{1}, {0x80, 0x01}},
      {FieldType::kShort, 2, std::int32_t{256}, {0x81, 0x00}},
      {FieldType::kShort, 2, std::int32_t{-40}, {0x7F, 0xD8}},
      {FieldType::kShort, 2, std::int32_t{0}, {0x80, 0x00}},
      {FieldType::kLong, 4, std::int32_t{-40}, {0x7F, 0xFF, 0xFF, 0xD8}},
      {FieldType::kNumber, 8, -40.0, {0x3F, 0xBB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {FieldType::kNumber, 8, 0.0, {0x80, 0, 0, 0, 0, 0, 0, 0}},
      {FieldType::kLogical, 1, true, {0x81}},
      {FieldType::kLogical, 1, false, {0x80}},
      {FieldType::kDate, 4, Date{728783}, {0x80, 0x0B, 0x1E, 0xCF}},
      {FieldType::kTime, 4, Time{3601000}, {0x80, 0x36, 0xF2, 0x68}},
      {FieldType::kTimestamp,
       8,
       Timestamp{63716202001000.0},
       {0xC2, 0xCC, 0xF9, 0x8A, 0xCB, 0x19, 0x34, 0x00}},
  };
  for (const auto &c : cases) {
    const Field field = makeField(c.type, c.size);
    EXPECT_EQ(encoded(field, c.value), c.stored) << fieldTypeLetter(c.type);
    EXPECT_EQ(decodeValue(field, c.stored), c.value) << fieldTypeLetter(c.type);
  }
}

TEST(Codec, BlankIsAllZeroAndDistinctFromZero) {
  for (const auto type : {FieldType::kShort, FieldType::kLong, FieldType::kNumber,
                          FieldType::kMoney, FieldType::kDate, FieldType::kLogical, FieldType::kBcd,
                          FieldType::kAlpha, FieldType::kMemo}) {
    const Field field = makeField(type, type == FieldType::kMemo ? 11 : 8);
    const Bytes8 zeros(static_cast<std::size_t>(field.width), 0);
    EXPECT_TRUE(isBlank(decodeValue(field, zeros))) << fieldTypeLetter(type);
    EXPECT_EQ(encoded(field, Blank{}), zeros);
  }
  EXPECT_FALSE(isBlank(decodeValue(makeField(FieldType::kShort, 2), Bytes8{0x80, 0x00})));
}

TEST(Codec, BcdDigitsSignAndText) {
  const Field field = makeField(FieldType::kBcd, 2);
  Bytes8 positive(17, 0);
  positive[0] = 0xC2;
  positive[15] = 0x01;
  positive[16] = 0x23;
  const auto value = decodeValue(field, positive);
  ASSERT_TRUE(std::holds_alternative<Bcd>(value));
  EXPECT_EQ(std::get<Bcd>(value).toString(), "1.23");

  Bytes8 negative(17, 0xFF);
  negative[0] = 0x42;
  negative[15] = 0xFE;
  negative[16] = 0xDC;
  EXPECT_EQ(std::get<Bcd>(decodeValue(field, negative)).toString(), "-1.23");
  EXPECT_EQ(encoded(field, *Bcd::parse("-1.23", 2)), negative);
  EXPECT_EQ(encoded(field, *Bcd::parse("1.23", 2)), positive);

  const Field four = makeField(FieldType::kBcd, 4);
  EXPECT_EQ(std::get<Bcd>(decodeValue(four, encoded(four, *Bcd::parse("-12.34", 4)))).toString(),
            "-12.3400");
  EXPECT_FALSE(Bcd::parse("1.234", 2).isOk());
  EXPECT_FALSE(Bcd::parse("1x", 2).isOk());
}

TEST(Codec, AlphaStopsAtPaddingAndRefusesOverlongText) {
  const Field field = makeField(FieldType::kAlpha, 5);
  EXPECT_EQ(encoded(field, Text{"ab"}), (Bytes8{'a', 'b', 0, 0, 0}));
  EXPECT_EQ(std::get<Text>(decodeValue(field, Bytes8{'a', 'b', 0, 0, 0})).bytes, "ab");
  EXPECT_EQ(std::get<Text>(decodeValue(field, Bytes8{'a', 'b', 'c', 'd', 'e'})).bytes, "abcde");
  Bytes8 out(5, 0x11);
  const auto status = encodeValue(field, Text{"abcdef"}, out);
  EXPECT_EQ(status.code(), ErrorCode::kInvalidArgument);
  EXPECT_EQ(out, Bytes8(5, 0x11)) << "a refused value leaves the buffer alone";
  EXPECT_EQ(encodeValue(field, std::int32_t{1}, out).code(), ErrorCode::kInvalidArgument);
}

TEST(Codec, IntegerRangeExcludesTheBlankPattern) {
  const Field field = makeField(FieldType::kShort, 2);
  Bytes8 out(2);
  EXPECT_FALSE(encodeValue(field, std::int32_t{-32768}, out).isOk());
  EXPECT_FALSE(encodeValue(field, std::int32_t{32768}, out).isOk());
  EXPECT_TRUE(encodeValue(field, std::int32_t{-32767}, out).isOk());
}

TEST(Codec, BlobTrailerIsLittleEndian) {
  const Field field = makeField(FieldType::kMemo, 15);
  const Bytes8 stored = {'H', 'e', 'l', 'l', 'o', 0xFF, 0x10, 0, 0, 0x39, 0x30, 0, 0, 0x02, 0x00};
  const auto value = decodeValue(field, stored);
  ASSERT_TRUE(std::holds_alternative<Blob>(value));
  const auto &blob = std::get<Blob>(value);
  EXPECT_EQ(blob.blockOffset, 0x1000u);
  EXPECT_EQ(blob.index, 0xFF);
  EXPECT_EQ(blob.length, 12345u);
  EXPECT_EQ(blob.modification, 2);
  EXPECT_FALSE(blob.isInline());
  EXPECT_EQ(encoded(field, value), stored);
}

TEST(Dates, OrdinalDaysMatchTheCalendar) {
  EXPECT_EQ(Date::fromYmd(1, 1, 1).day, 1);
  EXPECT_EQ(Date::fromYmd(100, 1, 1).day, 36160);
  EXPECT_EQ(Date::fromYmd(1996, 5, 4).day, 728783);
  EXPECT_EQ(Date::fromYmd(2018, 1, 1).day, 736695);
  EXPECT_EQ(Date{736695}.toString(), "2018-01-01");
  EXPECT_EQ(Timestamp{63716202001000.0}.toString(), "2020-02-01T01:00:01.000");
  EXPECT_EQ(Time{3601000}.toString(), "01:00:01.000");
}

} // namespace
} // namespace velanta::paradox
