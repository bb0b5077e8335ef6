// Ranges on a catalogue-like table (a TipGlavno index over Tip + Name, 20 000 records) cost a
// handful of block reads, not a scan; their records are exactly the kind's, in index order.
#include "paradox/create.h"
#include "paradox/table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace velanta::paradox {
namespace {

// Counts the read calls made through it.
class CountingFileSystem final : public FileSystem {
public:
  explicit CountingFileSystem(FileSystem &inner) : inner_(inner) {}

  Result<std::unique_ptr<File>> open(const std::string &path, OpenMode mode) override {
    auto file = inner_.open(path, mode);
    if (!file) return file;
    return std::unique_ptr<File>(std::make_unique<CountingFile>(std::move(file).value(), reads));
  }
  Result<std::vector<std::string>> list(const std::string &directory) override {
    return inner_.list(directory);
  }
  bool exists(const std::string &path) override { return inner_.exists(path); }
  Status remove(const std::string &path) override { return inner_.remove(path); }
  Status rename(const std::string &from, const std::string &to) override {
    return inner_.rename(from, to);
  }
  bool directoryWritable(const std::string &directory) override {
    return inner_.directoryWritable(directory);
  }

  int reads = 0;

private:
  class CountingFile final : public File {
  public:
    CountingFile(std::unique_ptr<File> inner, int &reads)
        : File(inner->path()), inner_(std::move(inner)), reads_(reads) {}
    Status read(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t *got) override {
      ++reads_;
      return inner_->read(offset, out, got);
    }
    Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
      return inner_->write(offset, data);
    }
    Status sync() override { return inner_->sync(); }
    Result<std::uint64_t> size() override { return inner_->size(); }
    Status truncate(std::uint64_t size) override { return inner_->truncate(size); }
    Status lock(std::uint64_t o, std::uint64_t l, LockType t, bool w) override {
      return inner_->lock(o, l, t, w);
    }
    Status unlock(std::uint64_t o, std::uint64_t l) override { return inner_->unlock(o, l); }

  private:
    std::unique_ptr<File> inner_;
    int &reads_;
  };

  FileSystem &inner_;
};

std::string kind(int k) {
  return "\xc2\xe8\xe4 " + std::to_string(k);
} // "Вид k"

TEST(RangeSeek, LogarithmicBlockReadsAndExactRecords) {
  MemoryFileSystem memory;
  TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {"Tip", FieldType::kAlpha, 30},
                       {"Name", FieldType::kAlpha, 60},
                       {"Text", FieldType::kMemo, 20}};
  definition.keyFields = 1;
  definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
  definition.password = "Tavirek4806";
  auto builder = TableBuilder::make(definition);
  ASSERT_TRUE(builder.isOk()) << builder.status().toString();
  std::mt19937 random(7);
  std::map<std::string, std::multiset<std::string>> byKind;
  for (int i = 0; i < 20000; ++i) {
    RecordValues record = builder->newRecord();
    const std::string tip = kind(static_cast<int>(random() % 40));
    const std::string name = "doc " + std::to_string(random() % 100000);
    ASSERT_TRUE(record.setText("Tip", tip).isOk());
    ASSERT_TRUE(record.setText("Name", name).isOk());
    ASSERT_TRUE(record.setText("Text", std::string(random() % 300, 'x')).isOk());
    ASSERT_TRUE(builder->append(record).isOk());
    byKind[tip].insert(name);
  }
  ASSERT_TRUE(builder->write("/c/base.db", memory).isOk());

  CountingFileSystem counting(memory);
  OpenOptions options;
  options.fileSystem = &counting;
  options.passwords = {"Tavirek4806"};
  options.access = AccessMode::kReadOnly;
  auto table = Table::open("/c", "BASE.DB", options);
  ASSERT_TRUE(table.isOk()) << table.status().toString();
  auto cursor = (*table)->openCursor("tipglavno");
  ASSERT_TRUE(cursor.isOk());
  EXPECT_FALSE((*cursor)->usesRebuiltIndex());
  const int name = (*table)->fieldIndex("Name");

  for (int k = 0; k < 41; ++k) { // kind 40 has no documents
    const std::string tip = kind(k);
    counting.reads = 0;
    ASSERT_TRUE((*cursor)->setRange(Text{tip}, Text{tip}).isOk());
    // Two descents of a two-level tree plus the blocks they land on, and the checks of the
    // neighbours: a few dozen reads at most, against thousands for a scan.
    EXPECT_LE(counting.reads, 24) << tip;
    const auto &expected = byKind[tip];
    ASSERT_EQ((*cursor)->recordCount(), expected.size()) << tip;
    std::vector<std::string> names;
    for (auto s = (*cursor)->first(); (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
      ASSERT_TRUE(s.isOk());
      names.emplace_back(std::get<Text>((*cursor)->value(name)).bytes);
      if ((*cursor)->recordNumber() == (*cursor)->recordCount()) break;
    }
    EXPECT_TRUE(std::equal(names.begin(), names.end(), expected.begin(), expected.end())) << tip;
  }
  // Moves inside a range stay inside it.
  ASSERT_TRUE((*cursor)->setRange(Text{kind(3)}, Text{kind(3)}).isOk());
  ASSERT_TRUE((*cursor)->last().isOk());
  EXPECT_TRUE((*cursor)->eof());
  ASSERT_TRUE((*cursor)->next().isOk());
  EXPECT_EQ((*cursor)->recordNumber(), (*cursor)->recordCount());
  ASSERT_TRUE((*cursor)->moveBy(-1000000).isOk());
  EXPECT_TRUE((*cursor)->bof());
  EXPECT_EQ((*cursor)->recordNumber(), 1u);
  ASSERT_TRUE((*cursor)->moveTo(5).isOk());
  EXPECT_EQ((*cursor)->recordNumber(), 5u);

  // The loop of the table header visits each record of a range once, and none of an empty one.
  for (const int k : {3, 40}) {
    ASSERT_TRUE((*cursor)->setRange(Text{kind(k)}, Text{kind(k)}).isOk());
    std::uint64_t visited = 0;
    for (auto s = (*cursor)->first(); s && !(*cursor)->eof(); s = (*cursor)->next())
      EXPECT_EQ((*cursor)->recordNumber(), ++visited);
    EXPECT_EQ(visited, (*cursor)->recordCount());
    visited = 0;
    for (auto s = (*cursor)->last(); s && !(*cursor)->bof(); s = (*cursor)->prior())
      ++visited;
    EXPECT_EQ(visited, (*cursor)->recordCount());
  }
}

} // namespace
} // namespace velanta::paradox

namespace velanta::paradox {
namespace {

// Every block size the format allows, keyed with a composite index: all records in key order
// and in index order, the same values either way.
TEST(BlockSizes, OneToThirtyTwoKilobytes) {
  for (const int kb : {1, 2, 4, 8, 16, 32}) {
    SCOPED_TRACE(std::to_string(kb) + " KB");
    MemoryFileSystem memory;
    TableSpec definition;
    definition.fields = {{"ID", FieldType::kLong, 0},
                         {"Tip", FieldType::kAlpha, 20},
                         {"Name", FieldType::kAlpha, 40},
                         {"Text", FieldType::kMemo, 15}};
    definition.keyFields = 1;
    definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
    definition.blockSizeKb = kb;
    auto builder = TableBuilder::make(definition);
    ASSERT_TRUE(builder.isOk()) << builder.status().toString();
    const int records = 3000;
    for (int i = 0; i < records; ++i) {
      RecordValues record = builder->newRecord();
      ASSERT_TRUE(record.set("ID", std::int32_t{records - i}).isOk());
      ASSERT_TRUE(record.setText("Tip", kind(i % 7)).isOk());
      ASSERT_TRUE(record.setText("Name", "n" + std::to_string(i)).isOk());
      ASSERT_TRUE(
          record.setText("Text", std::string(static_cast<std::size_t>(i % 2500), 'm')).isOk());
      ASSERT_TRUE(builder->append(record).isOk());
    }
    ASSERT_TRUE(builder->write("/b/t.db", memory).isOk());
    OpenOptions options;
    options.fileSystem = &memory;
    auto table = Table::open("/b", "t.db", options);
    ASSERT_TRUE(table.isOk()) << table.status().toString();
    EXPECT_EQ((*table)->info().blockSize, kb * 1024);
    auto byKey = (*table)->openCursor();
    ASSERT_TRUE(byKey.isOk());
    ASSERT_EQ((*byKey)->recordCount(), static_cast<std::uint64_t>(records));
    std::int32_t expectedId = 1;
    std::vector<std::uint8_t> memo;
    for (auto s = (*byKey)->first(); (*byKey)->recordNumber() != 0; s = (*byKey)->next()) {
      ASSERT_EQ(std::get<std::int32_t>((*byKey)->value(0)), expectedId);
      ASSERT_TRUE((*byKey)->readBlob(3, memo).isOk());
      EXPECT_EQ(memo.size(), static_cast<std::size_t>((records - expectedId) % 2500));
      ++expectedId;
      if ((*byKey)->recordNumber() == (*byKey)->recordCount()) break;
    }
    EXPECT_EQ(expectedId, records + 1);
    auto byIndex = (*table)->openCursor("TipGlavno");
    ASSERT_TRUE(byIndex.isOk());
    EXPECT_FALSE((*byIndex)->usesRebuiltIndex());
    ASSERT_TRUE((*byIndex)->setRange(Text{kind(3)}, Text{kind(3)}).isOk());
    EXPECT_EQ((*byIndex)->recordCount(),
              static_cast<std::uint64_t>((records + 3) / 7)); // i % 7 == 3
  }
}

} // namespace
} // namespace velanta::paradox
