// Reading the real tables under the shared fixtures (written by the original engine) and
// comparing with pxlib, record by record; index order, ranges, passwords, missing and
// read-only files.
#include "paradox/codec.h"
#include "paradox/table.h"
#include "paradox/table_impl.h"
#include "paradox/testing/pxlib_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace velanta::paradox {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(VELANTA_FIXTURES_DIR) / "paradox";

std::vector<std::uint8_t> readAll(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::vector<fs::path> fixtureTables() {
  std::vector<fs::path> tables;
  for (const auto &entry : fs::recursive_directory_iterator(kFixtures))
    if (lower(entry.path().extension().string()) == ".db") tables.push_back(entry.path());
  std::sort(tables.begin(), tables.end());
  return tables;
}

fs::path sibling(const fs::path &table, const std::string &extension) {
  for (const auto &entry : fs::directory_iterator(table.parent_path()))
    if (lower(entry.path().stem().string()) == lower(table.stem().string()) &&
        lower(entry.path().extension().string()) == extension)
      return entry.path();
  return {};
}

std::unique_ptr<Table> openFixture(const fs::path &path, OpenOptions options = {}) {
  options.access = AccessMode::kReadOnly;
  options.passwords.push_back("123");
  auto table = Table::open(path.parent_path().string(), path.filename().string(), options);
  EXPECT_TRUE(table.isOk()) << path << ": " << table.status().toString();
  return table ? std::move(table).value() : nullptr;
}

// Drops trailing zeros of a decimal fraction (and the point) and leading zeros, so that
// pxlib's and our BCD texts compare as numbers.
std::string normalDecimal(std::string text) {
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.erase(0, 1);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0')
      text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  const auto first = text.find_first_not_of('0');
  text = first == std::string::npos ? "0" : text.substr(first);
  if (text.empty() || text[0] == '.') text = "0" + text;
  if (text == "0") negative = false;
  return (negative ? "-" : "") + text;
}

// Our value as pxlib's oracle spells it.
std::optional<std::string> asPxlibText(Cursor &cursor, const Field &field, int number) {
  const Value value = cursor.value(number);
  if (isBlank(value)) return std::nullopt;
  char buffer[64];
  return std::visit(
      [&](const auto &v) -> std::optional<std::string> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Text>)
          return std::string(v.bytes);
        else if constexpr (std::is_same_v<T, Bytes>)
          return std::string(v.data.begin(), v.data.end());
        else if constexpr (std::is_same_v<T, std::int32_t>)
          return std::to_string(v);
        else if constexpr (std::is_same_v<T, double>) {
          std::snprintf(buffer, sizeof buffer, "%.17g", v);
          return std::string(buffer);
        } else if constexpr (std::is_same_v<T, bool>)
          return std::string(v ? "1" : "0");
        else if constexpr (std::is_same_v<T, Bcd>)
          return normalDecimal(v.toString());
        else if constexpr (std::is_same_v<T, Date>)
          return std::to_string(v.day);
        else if constexpr (std::is_same_v<T, Time>)
          return std::to_string(v.milliseconds);
        else if constexpr (std::is_same_v<T, Timestamp>) {
          std::snprintf(buffer, sizeof buffer, "%.17g", v.milliseconds);
          return std::string(buffer);
        } else {
          std::vector<std::uint8_t> bytes;
          if (auto status = cursor.readBlob(number, bytes); !status)
            return "error: " + status.toString();
          // pxlib hands a graphic out without its 8-byte prefix.
          const std::size_t skip = field.type == FieldType::kGraphic && bytes.size() >= 8 ? 8 : 0;
          return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end());
        }
      },
      value);
}

// Every real table reads as pxlib reads it, value for value (text as stored: no conversion).
TEST(RealTables, AgreeWithPxlibRecordByRecord) {
  int compared = 0;
  for (const auto &path : fixtureTables()) {
    SCOPED_TRACE(path.string());
    OpenOptions options;
    options.codePage = 0;
    auto table = openFixture(path, options);
    if (!table) continue;
    const fs::path mb = sibling(path, ".mb");
    std::string error;
    const auto px = testing::readWithPxlib(path.string(), mb.string(), &error);
    if (!px) {
      ADD_FAILURE() << "pxlib cannot read it: " << error;
      continue;
    }
    auto cursor = table->openCursor();
    ASSERT_TRUE(cursor.isOk()) << cursor.status().toString();
    ASSERT_EQ((*cursor)->recordCount(), px->records.size());
    const auto &fields = table->fields();
    std::size_t row = 0;
    for (auto s = (*cursor)->first(); s && (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
      const auto &expected = px->records[row];
      for (std::size_t i = 0; i < fields.size(); ++i) {
        auto ours = asPxlibText(**cursor, fields[i], static_cast<int>(i));
        auto theirs = expected[i];
        if (fields[i].type == FieldType::kBcd && theirs) theirs = normalDecimal(*theirs);
        if (fields[i].type == FieldType::kAlpha && theirs)
          theirs = theirs->substr(0, theirs->find('\0'));
        // pxlib cannot print 32-decimal BCD values; it reads blank long, date and time values
        // as the smallest long, and a blank timestamp as 0.
        if (fields[i].type == FieldType::kBcd && fields[i].size == 32) continue;
        if (!ours && theirs &&
            (*theirs == "-2147483648" ||
             (*theirs == "0" && fields[i].type == FieldType::kTimestamp)))
          continue;
        EXPECT_EQ(ours, theirs) << "record " << row + 1 << ", field " << fields[i].name << " "
                                << fieldTypeLetter(fields[i].type) << fields[i].size;
      }
      ++row;
      if ((*cursor)->eof() || (*cursor)->recordNumber() == (*cursor)->recordCount()) break;
    }
    EXPECT_EQ(row, px->records.size());
    ++compared;
  }
  EXPECT_GE(compared, 30);
}

// Keys of an order, first key field only, in the order the cursor presents them.
std::vector<std::string> keySequence(Cursor &cursor, int field) {
  std::vector<std::string> keys;
  for (auto s = cursor.first(); s && cursor.recordNumber() != 0; s = cursor.next()) {
    const auto bytes = cursor.recordBytes();
    const Value v = cursor.value(field);
    keys.emplace_back(isBlank(v) ? std::string() : std::string(bytes.begin(), bytes.end()));
    if (cursor.recordNumber() == cursor.recordCount()) break;
  }
  return keys;
}

// Every maintained index file of the fixtures: our order is the file's order, and an index
// built from the data with our collation gives the same sequence of records.
TEST(RealTables, IndexOrderMatchesTheIndexFiles) {
  int checked = 0;
  for (const auto &path : fixtureTables()) {
    auto table = openFixture(path);
    if (!table) continue;
    for (std::size_t i = 0; i < table->indexes().size(); ++i) {
      const IndexInfo &index = table->indexes()[i];
      SCOPED_TRACE(path.string() + " " + index.fileName);
      if (!index.maintained) continue;
      EXPECT_TRUE(index.inStep) << index.problem;
      auto cursor = table->openCursor(index.name);
      ASSERT_TRUE(cursor.isOk()) << cursor.status().toString();
      EXPECT_FALSE((*cursor)->usesRebuiltIndex());
      EXPECT_EQ((*cursor)->recordCount(), table->info().records);
      const auto fromFile = keySequence(**cursor, index.keyFields.front());
      auto rebuilt = table->impl().rebuildOrder(static_cast<int>(i));
      ASSERT_TRUE(rebuilt.isOk());
      std::vector<std::string> fromData;
      for (std::uint64_t p = 0; p < (*rebuilt)->size(); ++p) {
        auto record = (*rebuilt)->fetch(p);
        ASSERT_TRUE(record.isOk());
        fromData.emplace_back(*record, *record + table->impl().data->recordSize());
      }
      ASSERT_EQ(fromFile.size(), fromData.size());
      EXPECT_TRUE(fromFile == fromData) << "our collation orders this index differently";
      ++checked;
    }
  }
  EXPECT_GE(checked, 4);
}

// A range on the first key field holds exactly the records with that key, in index order, for
// every key value present (and nothing for a value absent).
TEST(RealTables, RangesOnTheFirstKeyField) {
  for (const auto &[file, indexName] :
       std::vector<std::pair<std::string, std::string>>{{"db/AREACODES.DB", "ste"},
                                                        {"db/CUSTOMER.DB", "City"},
                                                        {"db/CUSTOMER.DB", ""},
                                                        {"areas/ZIPCODES.DB", ""}}) {
    SCOPED_TRACE(file + " " + indexName);
    auto table = openFixture(kFixtures / file);
    ASSERT_TRUE(table);
    auto all = table->openCursor(indexName);
    ASSERT_TRUE(all.isOk());
    const int keyField =
        indexName.empty() ? 0
                          : table->indexes()[0].keyFields.front(); // single index on these tables
    const Field &field = table->fields()[static_cast<std::size_t>(keyField)];
    std::map<std::string, std::vector<std::uint64_t>> expected; // key bytes -> full positions
    std::vector<std::string> order;
    for (auto s = (*all)->first(); s && (*all)->recordNumber() != 0; s = (*all)->next()) {
      const auto bytes = (*all)->recordBytes();
      const std::string key(bytes.begin() + field.offset,
                            bytes.begin() + field.offset + field.width);
      expected[key].push_back((*all)->recordNumber());
      if ((*all)->recordNumber() == (*all)->recordCount()) break;
    }
    auto ranged = table->openCursor(indexName);
    ASSERT_TRUE(ranged.isOk());
    int values = 0;
    for (const auto &[key, positions] : expected) {
      if (++values > 300 && values % 50 != 0) continue; // the big table: a sample of its keys
      const Value bound = decodeValue(
          field, std::span(reinterpret_cast<const std::uint8_t *>(key.data()), key.size()));
      ASSERT_TRUE((*ranged)->setRange(bound, bound).isOk());
      ASSERT_EQ((*ranged)->recordCount(), positions.size());
      ASSERT_TRUE((*ranged)->first().isOk());
      EXPECT_EQ((*ranged)->recordNumber(), 1u);
      const auto bytes = (*ranged)->recordBytes();
      EXPECT_EQ(
          std::string(bytes.begin() + field.offset, bytes.begin() + field.offset + field.width),
          key);
      ASSERT_TRUE((*ranged)->last().isOk());
      EXPECT_EQ((*ranged)->recordNumber(), positions.size());
    }
    (*ranged)->clearRange();
    EXPECT_EQ((*ranged)->recordCount(), (*all)->recordCount());
  }
}

TEST(Passwords, EncryptedTablesNeedTheirPassword) {
  for (const char *name : {"encrypted.db", "encrypted35.db", "encryptedmemo.db"}) {
    SCOPED_TRACE(name);
    OpenOptions options;
    options.access = AccessMode::kReadOnly;
    const std::string dir = (kFixtures / "encrypt").string();
    EXPECT_EQ(Table::open(dir, name, options).status().code(), ErrorCode::kInsufficientTableRights);
    options.passwords = {"wrong", "1234"};
    EXPECT_EQ(Table::open(dir, name, options).status().code(), ErrorCode::kInsufficientTableRights);
    options.passwords.push_back("123");
    auto table = Table::open(dir, name, options);
    ASSERT_TRUE(table.isOk()) << table.status().toString();
    EXPECT_TRUE((*table)->info().encrypted);
  }
}

// Loads a fixture's family of files into an in-memory file system under /t.
void loadFamily(MemoryFileSystem &memory, const fs::path &table, const std::string &as = {}) {
  for (const auto &entry : fs::directory_iterator(table.parent_path()))
    if (lower(entry.path().stem().string()) == lower(table.stem().string())) {
      std::string name = entry.path().filename().string();
      if (!as.empty()) name = as + entry.path().extension().string();
      memory.setContents("/t/" + name, readAll(entry.path()));
    }
}

TEST(Opening, NamesMatchWithoutCaseAndMissingFilesAreNamed) {
  MemoryFileSystem memory;
  loadFamily(memory, kFixtures / "db/CUSTOMER.DB");
  OpenOptions options;
  options.fileSystem = &memory;
  auto table = Table::open("/t", "customer.db", options);
  ASSERT_TRUE(table.isOk()) << table.status().toString();
  EXPECT_EQ((*table)->info().fileName, "CUSTOMER.DB");
  EXPECT_EQ((*table)->fieldIndex("city"), 5);
  EXPECT_TRUE((*table)->openCursor("CITY").isOk());
  EXPECT_EQ((*table)->openCursor("TipGlavno").status().code(), ErrorCode::kNoSuchIndex);

  const auto missing = Table::open("/t", "base.db", options);
  EXPECT_EQ(missing.status().code(), ErrorCode::kNoSuchTable);
  EXPECT_EQ(missing.status().message(), "Таблица не найдена.");
  EXPECT_EQ(missing.status().context().front(), "/t/base.db");

  ASSERT_TRUE(memory.remove("/t/CUSTOMER.MB").isOk());
  const auto noBlobs = Table::open("/t", "CUSTOMER.DB", options);
  EXPECT_EQ(noBlobs.status().code(), ErrorCode::kBlobFileMissing);
}

TEST(Opening, ReadOnlyFilesAndDirectoriesAreReportedForARetry) {
  MemoryFileSystem memory;
  loadFamily(memory, kFixtures / "db/NOTE1251.DB", "base");
  OpenOptions options;
  options.fileSystem = &memory;
  memory.setReadOnly("/t/base.DB", true);
  EXPECT_EQ(Table::open("/t", "base.db", options).status().code(), ErrorCode::kTableReadOnly);
  options.access = AccessMode::kReadOnly;
  auto table = Table::open("/t", "base.db", options);
  ASSERT_TRUE(table.isOk());
  EXPECT_TRUE((*table)->readOnly());

  memory.setReadOnly("/t/base.DB", false);
  memory.setDirectoryReadOnly("/t", true);
  options.access = AccessMode::kReadWrite;
  EXPECT_EQ(Table::open("/t", "base.db", options).status().code(), ErrorCode::kReadOnlyDirectory);
}

// Russian memo text in code page 1251 under a header that names 936: bytes unchanged.
TEST(Text, AnsiTablesPassTheirBytesUnchanged) {
  auto table = openFixture(kFixtures / "db/NOTE1251.DB");
  ASSERT_TRUE(table);
  EXPECT_EQ(table->info().textCodePage, 0);
  auto cursor = table->openCursor();
  ASSERT_TRUE(cursor.isOk());
  ASSERT_TRUE((*cursor)->last().isOk());
  std::vector<std::uint8_t> memo;
  ASSERT_TRUE((*cursor)->readBlob(1, memo).isOk());
  const std::string text(memo.begin(), memo.end());
  EXPECT_EQ(text.substr(0, 12),
            "\xD3\xE4\xE8\xE2\xE8\xF2\xE5\xEB\xFC\xED\xEE\xE5"); // "Удивительное"
}

// An OEM (cyrr, 866) table hands its text over in 1251.
TEST(Text, OemTablesAreConvertedTo1251) {
  EXPECT_EQ(textCodePage(866, true, 0xC0, "cyrr"), 866);
  EXPECT_EQ(textCodePage(0, true, 0x4C, "DBWINUS0"), 0);
  EXPECT_EQ(textCodePage(936, true, 0x03, "china"), 0);
  EXPECT_EQ(textCodePage(1252, true, 0x62, "ANSIINTL"), 0);
  EXPECT_EQ(textCodePage(0, false, 0x00, ""), 437); // format 3.x, 'ascii' driver
  EXPECT_EQ(textCodePage(0, true, 0x00, "ascii"), 0);
  const ByteMap &map = *oemTo1251(866);
  EXPECT_EQ(map[0x80], 0xC0); // А
  EXPECT_EQ(map[0xA0], 0xE0); // а
  EXPECT_EQ(map[0xF0], 0xA8); // Ё
  EXPECT_EQ(map['A'], 'A');
  EXPECT_EQ((*ansi1251ToOem(866))[0xC0], 0x80);

  // The same table read with code page 866 forced: alpha values and names go through the map.
  OpenOptions options;
  options.codePage = 866;
  auto table = openFixture(kFixtures / "db/CUSTOMER.DB", options);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->info().textCodePage, 866);
}

} // namespace
} // namespace velanta::paradox
