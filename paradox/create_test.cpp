// Tables made by TableBuilder, read back by pxlib and checked byte by byte where the original
// engine's files dictate the values.
#include "paradox/create.h"

#include "paradox/bytes.h"
#include "paradox/collation.h"
#include "paradox/header_builder.h"
#include "paradox/testing/pxlib_oracle.h"
#include "paradox/tree_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace velanta::paradox {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readAll(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempDir {
public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("velanta-create-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
  fs::path path_;
  static inline int counter_ = 0;
};

TableSpec catalogueSpec() {
  TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {"Tip", FieldType::kAlpha, 40},
                       {"Name", FieldType::kAlpha, 120},
                       {"Text", FieldType::kMemo, 40}};
  definition.keyFields = 1;
  definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
  return definition;
}

std::string cp1251Word(std::mt19937 &rng, int length) {
  std::string s;
  for (int i = 0; i < length; ++i) {
    const int pick = static_cast<int>(rng() % 4);
    s += pick == 0   ? static_cast<char>(0xC0 + rng() % 32) // А..Я
         : pick == 1 ? static_cast<char>(0xE0 + rng() % 32) // а..я
         : pick == 2 ? static_cast<char>('a' + rng() % 26)
                     : static_cast<char>(rng() % 3 == 0 ? 0xB8 : 0xA8); // ё Ё
  }
  return s;
}

struct Doc {
  std::string tip, name, text;
};

std::vector<Doc> makeDocs(int n, unsigned seed) {
  std::mt19937 rng(seed);
  const std::size_t sizes[] = {0, 5, 29, 30, 31, 100, 2048, 2049, 5000, 40000};
  std::vector<Doc> docs;
  for (int i = 0; i < n; ++i) {
    Doc d{cp1251Word(rng, 1 + static_cast<int>(rng() % 6)),
          cp1251Word(rng, 1 + static_cast<int>(rng() % 30)),
          {}};
    d.text.resize(sizes[rng() % std::size(sizes)]);
    for (char &c : d.text)
      c = static_cast<char>('A' + rng() % 26);
    docs.push_back(d);
  }
  return docs;
}

Status build(const std::string &path, const TableSpec &definition, const std::vector<Doc> &docs) {
  auto builder = TableBuilder::make(definition);
  if (!builder) return builder.takeStatus();
  for (const Doc &d : docs) {
    RecordValues r = builder->newRecord();
    EXPECT_TRUE(r.setText("Tip", d.tip));
    EXPECT_TRUE(r.setText("Name", d.name));
    EXPECT_TRUE(r.setText("Text", d.text));
    if (Status s = builder->append(r); !s) return s;
  }
  return builder->write(path);
}

TEST(CreateTable, PxlibReadsEveryValueBack) {
  TempDir dir;
  const auto docs = makeDocs(600, 7);
  ASSERT_TRUE(build(dir.file("base.db"), catalogueSpec(), docs));
  std::string error;
  const auto table = testing::readWithPxlib(dir.file("base.db"), dir.file("base.mb"), &error);
  ASSERT_TRUE(table) << error;
  ASSERT_EQ(table->records.size(), docs.size());
  for (std::size_t i = 0; i < docs.size(); ++i) {
    const auto &r = table->records[i];
    EXPECT_EQ(r[0].value_or(""), std::to_string(i + 1)); // keyed by ID, numbered in order
    EXPECT_EQ(r[1].value_or(""), docs[i].tip);
    EXPECT_EQ(r[2].value_or(""), docs[i].name);
    EXPECT_EQ(r[3].value_or(""), docs[i].text) << "record " << i;
  }
}

TEST(CreateTable, HeaderCarriesWhatRealLevel7FilesCarry) {
  TempDir dir;
  ASSERT_TRUE(build(dir.file("base.db"), catalogueSpec(), makeDocs(50, 3)));
  const auto db = readAll(dir.file("base.db"));
  ASSERT_GE(db.size(), 0x800u);
  EXPECT_EQ(bytes::getU16le(&db[0x02]), 0x800);
  EXPECT_EQ(db[0x04], 0);
  EXPECT_EQ(db[0x29], 0x8F); // ancyrr
  EXPECT_EQ(db[0x39], 12);
  EXPECT_EQ(db[0x3E], 0x1F);
  EXPECT_EQ(db[0x3F], 0x0F);
  EXPECT_EQ(db[0x55], 0); // pxlib writes F0 here; real tables 0
  EXPECT_EQ(db[0x56], 0x20);
  EXPECT_EQ(bytes::getU16le(&db[0x58]), 0x010C);
  EXPECT_EQ(bytes::getU16le(&db[0x6A]), 1251);
  EXPECT_EQ(bytes::getU32le(&db[0x49]), 50u); // last autoincrement value
  const std::string sortId(reinterpret_cast<const char *>(&db[0x58 + bytes::getU16le(&db[0x6E])]));
  EXPECT_EQ(sortId, "ancyrr");
  EXPECT_EQ(db.size(), 0x800u + bytes::getU16le(&db[0x0C]) * 2048u);

  const auto px = readAll(dir.file("base.PX").c_str());
  const auto pxLower = px.empty() ? readAll(dir.file("base.px")) : px;
  ASSERT_FALSE(pxLower.empty());
  EXPECT_EQ(pxLower[0x2C], treeStamp(db[0x2D], db[0x29]));
  const auto xg = readAll(dir.file("base.xg0"));
  const auto yg = readAll(dir.file("base.yg0"));
  ASSERT_FALSE(xg.empty());
  ASSERT_FALSE(yg.empty());
  EXPECT_EQ(xg[0x04], 8);
  EXPECT_EQ(xg[0x2C], 0xFF);
  EXPECT_EQ(xg[0x2E], db[0x2E]);
  EXPECT_EQ(yg[0x2C], treeStamp(xg[0x2D], xg[0x29]));
  const std::string indexName(
      reinterpret_cast<const char *>(&xg[0x58 + bytes::getU16le(&xg[0x68])]));
  EXPECT_EQ(indexName, "TipGlavno");
  const auto mb = readAll(dir.file("base.mb"));
  EXPECT_EQ(mb.size() % 4096, 0u);
}

TEST(CreateTable, IndexFileHoldsEveryRecordInAncyrrOrder) {
  TempDir dir;
  const auto docs = makeDocs(900, 11);
  ASSERT_TRUE(build(dir.file("base.db"), catalogueSpec(), docs));
  const auto xg = readAll(dir.file("base.xg0"));
  const int recordSize = bytes::getU16le(&xg[0]);
  ASSERT_EQ(recordSize, 40 + 120 + 4 + 2);
  KeyOrder order("ancyrr");
  std::vector<KeyPart> parts = {{0, 40, true}, {40, 120, true}, {160, 4, false}};
  std::vector<std::vector<std::uint8_t>> entries;
  for (int b = bytes::getU16le(&xg[0x0E]); b != 0;) {
    const std::uint8_t *block = &xg[0x800 + static_cast<std::size_t>(b - 1) * 2048];
    const int n = blockRecordCount(block, recordSize, 2048);
    for (int i = 0; i < n; ++i)
      entries.emplace_back(block + 6 + i * recordSize, block + 6 + (i + 1) * recordSize);
    b = bytes::getU16le(block);
  }
  ASSERT_EQ(entries.size(), docs.size());
  for (std::size_t i = 1; i < entries.size(); ++i)
    EXPECT_LT(order.compare(entries[i - 1], entries[i], parts), 0) << i;
}

TEST(CreateTable, AncyrrPutsYoBetweenYeAndZhAndLowerCaseFirst) {
  KeyOrder order("ancyrr");
  auto cmp = [&](std::string a, std::string b) {
    a.resize(4, '\0');
    b.resize(4, '\0');
    return order.compareAlpha(std::span(reinterpret_cast<const std::uint8_t *>(a.data()), 4),
                              std::span(reinterpret_cast<const std::uint8_t *>(b.data()), 4),
                              false);
  };
  EXPECT_LT(cmp("\xc5", "\xa8"), 0);         // Е < Ё
  EXPECT_LT(cmp("\xa8", "\xc6"), 0);         // Ё < Ж
  EXPECT_LT(cmp("\xe0", "\xc0"), 0);         // а < А (same letter, lower first)
  EXPECT_LT(cmp("\xc0\xe1", "\xe0\xe2"), 0); // primary weights decide before case
  EXPECT_LT(cmp("z", "\xc0"), 0);            // Latin before Cyrillic
  EXPECT_LT(cmp("", "\x01"), 0);             // blank first
  EXPECT_LT(cmp("\xdf", "["), 0);            // punctuation after letters
}

TEST(CreateTable, WriterAndReaderOrderAncyrrKeysAlike) {
  // The reader seeks with its own collation code: both must put keys in the same order.
  KeyOrder order("ancyrr");
  std::mt19937 rng(3);
  const KeyField field{0, 6, FieldType::kAlpha, false, false};
  for (int i = 0; i < 20000; ++i) {
    std::uint8_t a[6] = {}, b[6] = {};
    const auto la = rng() % 7, lb = rng() % 7;
    for (unsigned k = 0; k < la; ++k)
      a[k] = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() % 256 : 0xC0 + rng() % 64);
    for (unsigned k = 0; k < lb; ++k)
      b[k] = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() % 256 : 0xC0 + rng() % 64);
    if (rng() % 3 == 0) std::memcpy(b, a, 3);
    const int ours = order.compareAlpha(std::span(a, 6), std::span(b, 6), false);
    const int theirs = compareKeyField(field, Collation::kAncyrr, a, b);
    ASSERT_EQ(ours < 0, theirs < 0) << i;
    ASSERT_EQ(ours == 0, theirs == 0) << i;
  }
}

TEST(CreateTable, RefusesValuesTheFieldCannotHold) {
  auto builder = TableBuilder::make(catalogueSpec());
  ASSERT_TRUE(builder);
  RecordValues r = builder->newRecord();
  const Status tooLong = r.setText("Tip", std::string(41, 'x'));
  EXPECT_EQ(tooLong.code(), ErrorCode::kInvalidArgument);
  EXPECT_NE(tooLong.toString().find("Tip"), std::string::npos) << tooLong.toString();
  EXPECT_EQ(r.setText("Name", std::string("a\0b", 3)).code(), ErrorCode::kInvalidArgument);
  EXPECT_EQ(r.setText("Nope", "x").code(), ErrorCode::kInvalidArgument);
  EXPECT_TRUE(r.setText("Tip", std::string(40, 'x')));
}

TEST(CreateTable, DuplicatePrimaryKeyIsAKeyViolation) {
  TempDir dir;
  TableSpec definition;
  definition.fields = {{"Tip", FieldType::kAlpha, 20}};
  definition.keyFields = 1;
  auto builder = TableBuilder::make(definition);
  ASSERT_TRUE(builder);
  for (int i = 0; i < 2; ++i) {
    RecordValues r = builder->newRecord();
    ASSERT_TRUE(r.setText("Tip", "same"));
    ASSERT_TRUE(builder->append(r));
  }
  EXPECT_EQ(builder->write(dir.file("tip.db")).code(), ErrorCode::kKeyViolation);
}

TEST(CreateTable, RefusesDefinitionsTheFormatCannotHold) {
  TableSpec definition;
  definition.fields = {{"A", FieldType::kAlpha, 300}};
  EXPECT_FALSE(TableBuilder::make(definition));
  definition.fields = {{"A", FieldType::kAlpha, 10}, {"a", FieldType::kAlpha, 10}};
  EXPECT_FALSE(TableBuilder::make(definition));
  definition.fields = {{"A", FieldType::kAlpha, 10}};
  definition.indexes = {{"ix", {"A"}, false}}; // maintained index without a primary key
  EXPECT_FALSE(TableBuilder::make(definition));
}

TEST(CreateTable, EncryptedTableCarriesCheckValueAndEnciphersData) {
  TempDir dir;
  TableSpec definition = catalogueSpec();
  definition.password = "Tavirek4806";
  auto docs = makeDocs(40, 5);
  ASSERT_TRUE(build(dir.file("enc_memo.db"), definition, docs));
  const auto mb = readAll(dir.file("enc_memo.mb"));
  EXPECT_NE(mb[0x05], 0x82); // the .MB header is enciphered too
  for (Doc &d : docs)
    d.text.clear(); // pxlib cannot decipher an .MB: compare a table without blobs
  ASSERT_TRUE(build(dir.file("base.db"), definition, docs));
  const auto db = readAll(dir.file("base.db"));
  EXPECT_EQ(bytes::getU32le(&db[0x5C]), 0x14E88A6Fu);
  EXPECT_EQ(db[0x3E], 0);
  // No alpha value appears in clear in the data blocks or in the .MB.
  const std::string plainDb(db.begin() + 0x800, db.end());
  EXPECT_EQ(plainDb.find(docs[0].name), std::string::npos);
  // pxlib deciphers data blocks by itself (it does not decipher the .MB).
  std::string error;
  const auto table = testing::readWithPxlib(dir.file("base.db"), "", &error);
  ASSERT_TRUE(table) << error;
  ASSERT_EQ(table->records.size(), docs.size());
  EXPECT_EQ(table->records[3][2].value_or(""), docs[3].name);
}

TEST(CreateTable, EmptyTableHasNoBlocks) {
  TempDir dir;
  ASSERT_TRUE(createTable(dir.file("tip.db"), catalogueSpec()));
  const auto db = readAll(dir.file("tip.db"));
  EXPECT_EQ(db.size(), 0x800u);
  const auto px = readAll(dir.file("tip.px"));
  EXPECT_EQ(px.size(), 0x800u);
  EXPECT_EQ(bytes::getU16le(&px[0x1E]), 1);
  EXPECT_EQ(px[0x20], 0);
  std::string error;
  const auto table = testing::readWithPxlib(dir.file("tip.db"), dir.file("tip.mb"), &error);
  ASSERT_TRUE(table) << error;
  EXPECT_TRUE(table->records.empty());
}

} // namespace
} // namespace velanta::paradox
