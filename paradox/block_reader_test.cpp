// Blocks come from the file's memory mapping when the file system offers one (a real file)
// and through read() otherwise (files held in memory). A table reads the same either way,
// protected or plain, whole or cut short, and cursors sharing a small block cache keep their
// records.
#include "paradox/create.h"
#include "paradox/table.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace velanta::paradox {
namespace {

namespace fs = std::filesystem;

constexpr char kPassword[] = "Tavirek4806";
constexpr int kRecords = 700;

class TempDir {
public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("velanta-block-reader-" + std::to_string(::getpid()) + "-" + std::to_string(++made_));
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const fs::path &path() const { return path_; }

private:
  fs::path path_;
  static inline int made_ = 0;
};

// A keyed table of a few dozen blocks with a secondary index over (Tip, Name), protected
// unless the password is empty: every file of the family by name.
std::map<std::string, std::vector<std::uint8_t>> tableFamily(const std::string &password) {
  TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {"Tip", FieldType::kAlpha, 30},
                       {"Name", FieldType::kAlpha, 60}};
  definition.keyFields = 1;
  definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
  definition.password = password;
  auto builder = TableBuilder::make(definition);
  EXPECT_TRUE(builder.isOk()) << builder.status().toString();
  for (int i = 0; i < kRecords; ++i) {
    RecordValues record = builder->newRecord();
    EXPECT_TRUE(record.setText("Tip", "kind " + std::to_string(i % 13)).isOk());
    EXPECT_TRUE(record.setText("Name", "document " + std::to_string(i * 7919 % 1000)).isOk());
    EXPECT_TRUE(builder->append(record).isOk());
  }
  MemoryFileSystem memory;
  EXPECT_TRUE(builder->write("/t/base.db", memory).isOk());
  std::map<std::string, std::vector<std::uint8_t>> family;
  const auto names = memory.list("/t");
  EXPECT_TRUE(names.isOk());
  for (const auto &name : *names)
    family[name] = memory.contents("/t/" + name);
  return family;
}

OpenOptions readOnly(FileSystem &files, std::size_t cacheBlocks = 64) {
  OpenOptions options;
  options.fileSystem = &files;
  options.access = AccessMode::kReadOnly;
  options.passwords = {kPassword};
  options.cacheBlocks = cacheBlocks;
  return options;
}

// Every record of both orders, as stored (in hex), one line each; or the first failure met.
std::string readEverything(FileSystem &files, const std::string &directory,
                           std::size_t cacheBlocks) {
  auto table = Table::open(directory, "base.db", readOnly(files, cacheBlocks));
  if (!table) return "open: " + table.status().toString();
  std::string out;
  for (const std::string order : {"", "TipGlavno"}) {
    auto cursor = (*table)->openCursor(order);
    if (!cursor) return out + "cursor: " + cursor.status().toString();
    out += "order " + order + ((*cursor)->usesRebuiltIndex() ? " (rebuilt)\n" : "\n");
    for (auto s = (*cursor)->first(); (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
      if (!s) return out + "move: " + s.toString();
      for (const std::uint8_t byte : (*cursor)->recordBytes()) {
        out += "0123456789abcdef"[byte >> 4];
        out += "0123456789abcdef"[byte & 15];
      }
      out += '\n';
      if ((*cursor)->recordNumber() == (*cursor)->recordCount()) break;
    }
  }
  return out;
}

void expectSameThroughMappingAndRead(
    const std::map<std::string, std::vector<std::uint8_t>> &family) {
  const std::vector<std::uint8_t> &db = family.at("base.db");
  constexpr std::size_t kBlock = 2048; // the header and every block of this table
  ASSERT_GT(db.size(), 20 * kBlock);
  struct Case {
    const char *what;
    std::size_t size;
  };
  const std::vector<Case> cases = {
      {"whole", db.size()},
      {"final block without its 6-byte header", db.size() - kBlock + 3},
      {"final block shorter than one 256-byte chunk", db.size() - kBlock + 100},
      {"final block cut inside its second chunk", db.size() - kBlock + 300},
      {"final block one byte short", db.size() - 1},
      {"cut in the middle of the chain", 10 * kBlock + 1000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem memory;
    TempDir dir;
    for (const auto &[name, bytes] : family) {
      const std::size_t size = name == "base.db" ? c.size : bytes.size();
      memory.setContents("/t/" + name, {bytes.begin(), bytes.begin() + std::ptrdiff_t(size)});
      std::ofstream(dir.path() / name, std::ios::binary)
          .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(size));
    }
    // A cache of two blocks refills its slots all the time; one of 64 holds the whole table.
    for (const std::size_t cacheBlocks : {2, 64}) {
      const std::string throughRead = readEverything(memory, "/t", cacheBlocks);
      const std::string throughMapping =
          readEverything(posixFileSystem(), dir.path().string(), cacheBlocks);
      EXPECT_EQ(throughMapping, throughRead) << cacheBlocks << " blocks";
      if (c.size == db.size()) {
        // Both orders in full, from the index as written.
        EXPECT_EQ(std::count(throughMapping.begin(), throughMapping.end(), '\n'),
                  2 * (kRecords + 1));
        EXPECT_EQ(throughMapping.find("rebuilt"), std::string::npos);
      }
    }
  }
}

TEST(BlockReader, TableReadsTheSameThroughTheMappingAsThroughRead) {
  for (const std::string password : {kPassword, ""}) {
    SCOPED_TRACE(password.empty() ? "plain" : "protected");
    expectSameThroughMappingAndRead(tableFamily(password));
  }
}

// Records of one order read alone, as stored.
std::vector<std::vector<std::uint8_t>> recordsOf(Table &table, const std::string &order) {
  auto cursor = table.openCursor(order);
  EXPECT_TRUE(cursor.isOk());
  std::vector<std::vector<std::uint8_t>> records;
  for (auto s = (*cursor)->first(); (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
    EXPECT_TRUE(s.isOk());
    const auto bytes = (*cursor)->recordBytes();
    records.emplace_back(bytes.begin(), bytes.end());
    if ((*cursor)->recordNumber() == (*cursor)->recordCount()) break;
  }
  return records;
}

void expectCursorsKeepTheirRecords(const std::map<std::string, std::vector<std::uint8_t>> &family) {
  TempDir dir;
  MemoryFileSystem memory;
  for (const auto &[name, bytes] : family) {
    memory.setContents("/t/" + name, bytes);
    std::ofstream(dir.path() / name, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  }
  const std::vector<std::pair<FileSystem *, std::string>> places = {
      {&memory, "/t"}, {&posixFileSystem(), dir.path().string()}};
  for (const auto &[files, directory] : places) {
    SCOPED_TRACE(directory);
    auto alone = Table::open(directory, "base.db", readOnly(*files));
    ASSERT_TRUE(alone.isOk()) << alone.status().toString();
    const auto tableOrder = recordsOf(**alone, "");
    const auto indexOrder = recordsOf(**alone, "TipGlavno");
    ASSERT_EQ(tableOrder.size(), std::size_t(kRecords));
    ASSERT_EQ(indexOrder.size(), std::size_t(kRecords));

    // One cursor steps through the table's blocks in order while the other, in index order,
    // jumps between them: with two cache slots every step of one refills what the other
    // stands on.
    auto shared = Table::open(directory, "base.db", readOnly(*files, 2));
    ASSERT_TRUE(shared.isOk()) << shared.status().toString();
    auto byTable = (*shared)->openCursor("");
    auto byIndex = (*shared)->openCursor("TipGlavno");
    ASSERT_TRUE(byTable.isOk() && byIndex.isOk());
    for (int i = 0; i < kRecords; ++i) {
      ASSERT_TRUE((i == 0 ? (*byTable)->first() : (*byTable)->next()).isOk());
      ASSERT_TRUE((i == 0 ? (*byIndex)->first() : (*byIndex)->next()).isOk());
      const auto a = (*byTable)->recordBytes();
      const auto b = (*byIndex)->recordBytes();
      ASSERT_TRUE(std::equal(a.begin(), a.end(), tableOrder[std::size_t(i)].begin(),
                             tableOrder[std::size_t(i)].end()))
          << "table order, record " << i + 1;
      ASSERT_TRUE(std::equal(b.begin(), b.end(), indexOrder[std::size_t(i)].begin(),
                             indexOrder[std::size_t(i)].end()))
          << "index order, record " << i + 1;
    }
  }
}

TEST(BlockReader, CursorsSharingATwoBlockCacheEachKeepTheirRecords) {
  for (const std::string password : {kPassword, ""}) {
    SCOPED_TRACE(password.empty() ? "plain" : "protected");
    expectCursorsKeepTheirRecords(tableFamily(password));
  }
}

} // namespace
} // namespace velanta::paradox
