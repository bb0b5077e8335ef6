// Damaged files: truncated, header fields at extremes, looping chains, blob pointers that
// lead nowhere, indexes out of step. Always an error or a tolerated read — never a crash, a
// hang or wrong records.
#include "paradox/codec.h"
#include "paradox/table.h"
#include "paradox/table_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

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

// The family's files by upper-case extension.
std::map<std::string, std::vector<std::uint8_t>> family(const fs::path &table) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto &entry : fs::directory_iterator(table.parent_path()))
    if (lower(entry.path().stem().string()) == lower(table.stem().string())) {
      std::string ext = entry.path().extension().string().substr(1);
      std::transform(ext.begin(), ext.end(), ext.begin(), ::toupper);
      files[ext] = readAll(entry.path());
    }
  return files;
}

void install(MemoryFileSystem &memory,
             const std::map<std::string, std::vector<std::uint8_t>> &files) {
  for (const auto &[ext, bytes] : files)
    memory.setContents("/t/T." + ext, bytes);
}

// Opens T.DB and reads every record of every order with every value and blob. Returns the
// first error met (opening, moving), or ok.
Status readEverything(MemoryFileSystem &memory, int *blobErrors = nullptr) {
  OpenOptions options;
  options.fileSystem = &memory;
  options.access = AccessMode::kReadOnly;
  options.passwords = {"123"};
  auto table = Table::open("/t", "T.DB", options);
  if (!table) return table.takeStatus();
  std::vector<std::string> orders{""};
  for (const auto &index : (*table)->indexes())
    orders.push_back(index.name);
  std::vector<std::uint8_t> blob;
  for (const auto &order : orders) {
    auto cursor = (*table)->openCursor(order);
    if (!cursor) return cursor.takeStatus();
    const std::uint64_t count = (*cursor)->recordCount();
    for (auto s = (*cursor)->first(); (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
      if (!s) return s;
      for (std::size_t i = 0; i < (*table)->fields().size(); ++i)
        if (std::holds_alternative<Blob>((*cursor)->value(static_cast<int>(i))))
          if (!(*cursor)->readBlob(static_cast<int>(i), blob) && blobErrors) ++*blobErrors;
      if ((*cursor)->recordNumber() == count) break;
    }
  }
  return {};
}

OpenOptions memoryOptions(MemoryFileSystem &memory) {
  OpenOptions options;
  options.fileSystem = &memory;
  return options;
}

const std::vector<std::string> kDamagedFamilies = {"db/CUSTOMER.DB",    "db/NOTE1251.DB",
                                                   "db/AREACODES.DB",   "encrypt/encryptedmemo.db",
                                                   "fields/graphic.db", "mtdemo/KRENTAL.DB"};

TEST(DamagedFiles, TruncatedAtEvery512thByte) {
  for (const auto &name : kDamagedFamilies) {
    const auto files = family(kFixtures / name);
    for (const auto &[ext, bytes] : files) {
      SCOPED_TRACE(name + " ." + ext);
      // Big files: every 512th byte near the start and the end, a sample in between.
      for (std::size_t cut = 0; cut < bytes.size(); cut += 512) {
        if (bytes.size() > 64 * 1024 && cut > 16 * 1024 && cut + 16 * 1024 < bytes.size() &&
            cut % (8 * 1024) != 0)
          continue;
        MemoryFileSystem memory;
        install(memory, files);
        memory.setContents("/t/T." + ext,
                           std::vector<std::uint8_t>(
                               bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
        (void)readEverything(memory);
      }
    }
  }
}

TEST(DamagedFiles, HeaderFieldsAtExtremes) {
  const std::vector<std::size_t> offsets = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x09,
                                            0x0A, 0x0C, 0x0E, 0x10, 0x1E, 0x20, 0x21, 0x22,
                                            0x23, 0x25, 0x29, 0x2C, 0x2D, 0x39, 0x4D, 0x51,
                                            0x55, 0x5C, 0x66, 0x68, 0x6A, 0x6E, 0x78, 0x79};
  for (const auto &name : kDamagedFamilies) {
    const auto files = family(kFixtures / name);
    for (const auto &[ext, bytes] : files) {
      if (ext == "MB" || ext == "VAL") continue;
      SCOPED_TRACE(name + " ." + ext);
      for (const std::size_t offset : offsets)
        for (const std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
          if (offset >= bytes.size()) continue;
          MemoryFileSystem memory;
          install(memory, files);
          auto damaged = bytes;
          damaged[offset] = value;
          memory.setContents("/t/T." + ext, damaged);
          (void)readEverything(memory);
        }
    }
  }
}

std::size_t blockOffset(const std::vector<std::uint8_t> &file, int block) {
  const std::size_t headerSize = file[2] | (file[3] << 8);
  const std::size_t blockSize = file[5] * 1024u;
  return headerSize + static_cast<std::size_t>(block - 1) * blockSize;
}

TEST(DamagedFiles, LoopingChainIsRefusedNamingTheBlock) {
  auto files = family(kFixtures / "db/AREACODES.DB");
  auto &db = files["DB"];
  // Block 2's "next" pointing back at block 1.
  db[blockOffset(db, 2)] = 1;
  db[blockOffset(db, 2) + 1] = 0;
  MemoryFileSystem memory;
  install(memory, files);
  const Status status = readEverything(memory);
  EXPECT_EQ(status.code(), ErrorCode::kHeaderCorrupt);
  EXPECT_NE(status.toString().find("T.DB"), std::string::npos);
  EXPECT_NE(status.toString().find("кольцо"), std::string::npos) << status.toString();
}

// The chain is walked when a cursor first needs it, not at opening: whichever order the first
// cursor asks for, the loop is reported as when the table order comes first.
TEST(DamagedFiles, LoopingChainIsReportedByWhicheverCursorOpensFirst) {
  auto files = family(kFixtures / "db/AREACODES.DB");
  auto &db = files["DB"];
  db[blockOffset(db, 2)] = 1;
  db[blockOffset(db, 2) + 1] = 0;
  MemoryFileSystem memory;
  install(memory, files);
  auto probe = Table::open("/t", "T.DB", memoryOptions(memory));
  ASSERT_TRUE(probe) << probe.status().toString();
  std::vector<std::string> orders{""};
  for (const auto &index : (*probe)->indexes())
    orders.push_back(index.name);
  ASSERT_GT(orders.size(), 1u);
  for (const auto &order : orders) {
    SCOPED_TRACE("order '" + order + "'");
    auto table = Table::open("/t", "T.DB", memoryOptions(memory));
    ASSERT_TRUE(table) << table.status().toString();
    auto cursor = (*table)->openCursor(order);
    ASSERT_FALSE(cursor);
    EXPECT_EQ(cursor.status().code(), ErrorCode::kHeaderCorrupt);
    EXPECT_NE(cursor.status().toString().find("T.DB"), std::string::npos);
    EXPECT_NE(cursor.status().toString().find("кольцо"), std::string::npos)
        << cursor.status().toString();
  }
}

TEST(DamagedFiles, BadBlobPointerFailsThatValueOnly) {
  auto files = family(kFixtures / "db/CUSTOMER.DB");
  MemoryFileSystem clean;
  install(clean, files);
  OpenOptions options;
  options.fileSystem = &clean;
  auto table = Table::open("/t", "T.DB", options);
  ASSERT_TRUE(table.isOk());
  const int memoField = (*table)->fieldIndex("Comments");
  const Field memo = (*table)->fields()[static_cast<std::size_t>(memoField)];
  // Every external memo pointer of block 1 sent far beyond the .MB, or to its header block.
  auto &db = files["DB"];
  const std::size_t records = blockOffset(db, 1) + 6;
  const int recordSize = db[0] | (db[1] << 8);
  int damaged = 0;
  const int inBlock =
      (db[blockOffset(db, 1) + 4] | db[blockOffset(db, 1) + 5] << 8) / recordSize + 1;
  for (int r = 0; r < inBlock; ++r) {
    std::uint8_t *trailer = db.data() + records + static_cast<std::size_t>(r * recordSize) +
                            static_cast<std::size_t>(memo.offset + memo.width - 10);
    const std::uint32_t pointer =
        trailer[0] | trailer[1] << 8 | trailer[2] << 16 | trailer[3] << 24;
    if (pointer == 0) continue;
    trailer[1] = damaged % 2 ? 0x00 : 0x7F;
    trailer[2] = damaged % 2 ? 0x00 : 0xFF;
    ++damaged;
  }
  ASSERT_GT(damaged, 1);
  MemoryFileSystem memory;
  install(memory, files);
  int blobErrors = 0;
  EXPECT_TRUE(readEverything(memory, &blobErrors).isOk());
  EXPECT_EQ(blobErrors, damaged * 2); // table order and the City index
  auto reopened = Table::open("/t", "T.DB", memoryOptions(memory));
  ASSERT_TRUE(reopened.isOk());
  auto cursor = (*reopened)->openCursor();
  ASSERT_TRUE(cursor.isOk());
  std::vector<std::uint8_t> bytes;
  for (auto s = (*cursor)->first(); (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
    const Value v = (*cursor)->value(memoField);
    const auto *blob = std::get_if<Blob>(&v);
    if (blob != nullptr && !blob->isInline()) {
      const Status status = (*cursor)->readBlob(memoField, bytes);
      EXPECT_EQ(status.code(), ErrorCode::kMemoCorrupt);
      EXPECT_NE(status.toString().find("T.MB"), std::string::npos);
      break;
    }
    if ((*cursor)->eof()) break;
  }
}

// Keys of the City index in the cursor's order.
std::vector<std::string> cities(Table &table, Cursor &cursor) {
  std::vector<std::string> keys;
  const int city = table.fieldIndex("City");
  for (auto s = cursor.first(); cursor.recordNumber() != 0; s = cursor.next()) {
    EXPECT_TRUE(s.isOk()) << s.toString();
    const Value v = cursor.value(city);
    keys.emplace_back(isBlank(v) ? "" : std::string(std::get<Text>(v).bytes));
    if (cursor.recordNumber() == cursor.recordCount()) break;
  }
  return keys;
}

// Changes the first record's City in the data file's bytes only (its index is not told).
void setFirstCityToAAAA(std::vector<std::uint8_t> &db, Table &table) {
  const Field city = table.fields()[static_cast<std::size_t>(table.fieldIndex("City"))];
  std::uint8_t *field = db.data() + blockOffset(db, 1) + 6 + city.offset;
  std::fill(field, field + city.width, 0);
  std::copy_n("AAAA", 4, field);
}

TEST(StaleIndexes, DisagreementWithTheDataFallsBackToABuiltIndex) {
  auto files = family(kFixtures / "db/CUSTOMER.DB");
  // Change one record's City in the table only: the .X06 no longer tells the truth.
  auto &db = files["DB"];
  MemoryFileSystem probe;
  install(probe, files);
  auto table = Table::open("/t", "T.DB", memoryOptions(probe));
  ASSERT_TRUE(table.isOk());
  setFirstCityToAAAA(db, **table);

  MemoryFileSystem memory;
  install(memory, files);
  auto stale = Table::open("/t", "T.DB", memoryOptions(memory));
  ASSERT_TRUE(stale.isOk());
  auto cursor = (*stale)->openCursor("City");
  ASSERT_TRUE(cursor.isOk());
  const auto keys = cities(**stale, **cursor);
  EXPECT_TRUE((*cursor)->usesRebuiltIndex());
  EXPECT_FALSE((*stale)->indexes()[0].inStep);
  EXPECT_EQ(keys.size(), 20u);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << "never show records in a wrong order";
  EXPECT_EQ(keys.front(), "AAAA");
  // A range still finds the changed record under its new value.
  ASSERT_TRUE((*cursor)->setRange(Text{"AAAA"}, Text{"AAAA"}).isOk());
  EXPECT_EQ((*cursor)->recordCount(), 1u);
}

// Cursors of one table take an index found in step as in step while the files stand as they
// were; once another writer has changed the table (its header's change count moved), the next
// cursor checks again and notices what that writer left out of step.
TEST(StaleIndexes, ACheckDoneBeforeAnotherWritersChangeIsDoneAgain) {
  auto files = family(kFixtures / "db/CUSTOMER.DB");
  MemoryFileSystem memory;
  install(memory, files);
  auto table = Table::open("/t", "T.DB", memoryOptions(memory));
  ASSERT_TRUE(table.isOk());
  auto first = (*table)->openCursor("City");
  ASSERT_TRUE(first.isOk());
  EXPECT_FALSE((*first)->usesRebuiltIndex());

  // Another writer changes one record's City and its header's change count, not the .X06.
  auto db = memory.contents("/t/T.DB");
  setFirstCityToAAAA(db, **table);
  ++db[0x2D];
  memory.setContents("/t/T.DB", db);

  auto second = (*table)->openCursor("City");
  ASSERT_TRUE(second.isOk());
  const auto keys = cities(**table, **second);
  EXPECT_TRUE((*second)->usesRebuiltIndex());
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << "never show records in a wrong order";
  EXPECT_EQ(keys.front(), "AAAA");
}

TEST(StaleIndexes, CountMismatchAndMissingTreeAreNoticed) {
  auto files = family(kFixtures / "db/CUSTOMER.DB");
  files["X06"][6] ^= 0x01; // record count in the index header
  MemoryFileSystem memory;
  install(memory, files);
  auto table = Table::open("/t", "T.DB", memoryOptions(memory));
  ASSERT_TRUE(table.isOk());
  EXPECT_FALSE((*table)->indexes()[0].inStep);
  auto cursor = (*table)->openCursor("City");
  ASSERT_TRUE(cursor.isOk());
  EXPECT_TRUE((*cursor)->usesRebuiltIndex());
  const auto rebuilt = cities(**table, **cursor);

  // Without its tree the index file is still used (seeks by binary search over its blocks).
  auto intact = family(kFixtures / "db/CUSTOMER.DB");
  intact.erase("Y06");
  MemoryFileSystem noTree;
  install(noTree, intact);
  auto table2 = Table::open("/t", "T.DB", memoryOptions(noTree));
  ASSERT_TRUE(table2.isOk());
  auto cursor2 = (*table2)->openCursor("City");
  ASSERT_TRUE(cursor2.isOk());
  EXPECT_FALSE((*cursor2)->usesRebuiltIndex());
  EXPECT_EQ(cities(**table2, **cursor2), rebuilt);
  ASSERT_TRUE((*cursor2)->setRange(Text{"Aptos"}, Text{"Aptos"}).isOk());
  EXPECT_EQ((*cursor2)->recordCount(), 3u);
}

} // namespace
} // namespace velanta::paradox
