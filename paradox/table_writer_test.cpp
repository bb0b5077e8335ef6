// Changes through TableWriter compared with a plain in-memory model after every step, with the
// integrity check, and at the end with pxlib; the fault-injection runs of the journal; the
// real fixture tables changed in a copy.
#include "paradox/table_writer.h"

#include "paradox/block_file.h"
#include "paradox/bytes.h"
#include "paradox/create.h"
#include "paradox/journal.h"
#include "paradox/page_overlay.h"
#include "paradox/table.h"
#include "paradox/table_check.h"
#include "paradox/table_editor.h"
#include "paradox/testing/pxlib_oracle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

namespace velanta::paradox {
namespace {

namespace fs = std::filesystem;

const std::string kDir = "/cat";

struct Doc {
  std::string tip, name, text;
  bool operator==(const Doc &) const = default;
};
using Model = std::map<std::int32_t, Doc>; // by ID

TableSpec catalogueSpec(const std::string &password = {}) {
  TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {"Tip", FieldType::kAlpha, 40},
                       {"Name", FieldType::kAlpha, 120},
                       {"Text", FieldType::kMemo, 30}};
  definition.keyFields = 1;
  definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
  definition.password = password;
  return definition;
}

std::string word(std::mt19937 &rng, int maxLength) {
  static const char letters[] = "\xc0\xc1\xc2\xc5\xa8\xc6\xdf\xe0\xe5\xb8\xe6\xff"
                                "abzAZ ";
  std::string s;
  const int n = 1 + static_cast<int>(rng() % static_cast<unsigned>(maxLength));
  for (int i = 0; i < n; ++i)
    s += letters[rng() % (sizeof letters - 1)];
  return s;
}

std::string memo(std::mt19937 &rng) {
  static const std::size_t sizes[] = {0, 3, 20, 21, 100, 700, 2048, 2049, 6000, 30000};
  std::string s(sizes[rng() % std::size(sizes)], 'x');
  for (char &c : s)
    c = static_cast<char>('a' + rng() % 26);
  return s;
}

std::int32_t idOf(const std::vector<std::uint8_t> &stored) {
  return static_cast<std::int32_t>(bytes::getBe(stored.data(), 4) ^ 0x80000000u);
}

std::string alpha(const std::vector<std::uint8_t> &stored, int offset, int width) {
  std::string s(reinterpret_cast<const char *>(stored.data() + offset),
                static_cast<std::size_t>(width));
  return s.substr(0, s.find('\0'));
}

// Every record of the table as a model, read through the block chain.
Model readBack(FileSystem &files, TableWriter &writer) {
  Model model;
  auto db = files.open(writer.dbPath(), OpenMode::kReadOnly);
  EXPECT_TRUE(db);
  auto view = PageOverlay::over(**db);
  BlockFile file(**view, writer.dbPath());
  EXPECT_TRUE(file.load());
  for (std::uint16_t b = file.counters.firstBlock; b != 0;) {
    auto block = file.readBlock(b);
    EXPECT_TRUE(block);
    const int n = blockRecordCount(block->data(), file.recordSize(), file.blockSize());
    for (int i = 0; i < n; ++i) {
      std::vector<std::uint8_t> r(recordAt(*block, i, file.recordSize()),
                                  recordAt(*block, i + 1, file.recordSize()));
      auto text = writer.readBlob(r, 3);
      EXPECT_TRUE(text) << text.status().toString();
      model[idOf(r)] = {alpha(r, 4, 40), alpha(r, 44, 120), text ? *text : ""};
    }
    b = bytes::getU16le(block->data());
  }
  return model;
}

void expectSound(FileSystem &files, const std::string &name = "base.db",
                 const std::vector<std::string> &passwords = {}) {
  auto problems = checkTable(files, kDir, name, passwords);
  ASSERT_TRUE(problems) << problems.status().toString();
  for (const std::string &p : *problems)
    ADD_FAILURE() << p;
}

Model buildCatalogue(FileSystem &files, int count, unsigned seed,
                     const std::string &password = {}) {
  std::mt19937 rng(seed);
  auto builder = TableBuilder::make(catalogueSpec(password));
  EXPECT_TRUE(builder);
  Model model;
  for (int i = 0; i < count; ++i) {
    Doc d{word(rng, 6), word(rng, 30), memo(rng)};
    RecordValues r = builder->newRecord();
    EXPECT_TRUE(r.setText("Tip", d.tip));
    EXPECT_TRUE(r.setText("Name", d.name));
    EXPECT_TRUE(r.setText("Text", d.text));
    EXPECT_TRUE(r.set("ID", std::int32_t{2 * (i + 1)})); // odd numbers stay free
    EXPECT_TRUE(builder->append(r));
    model[2 * (i + 1)] = d;
  }
  EXPECT_TRUE(builder->write(kDir + "/base.db", files));
  return model;
}

std::vector<std::uint8_t> keyRecord(const TableWriter &writer, std::int32_t id) {
  std::vector<std::uint8_t> r(static_cast<std::size_t>(writer.layout().recordSize), 0);
  bytes::putBe(r.data(), static_cast<std::uint32_t>(id) ^ 0x80000000u, 4);
  return r;
}

// One random change, applied to the table and to the model.
void randomStep(TableWriter &writer, Model &model, std::mt19937 &rng) {
  const int op = static_cast<int>(rng() % 10);
  if (model.empty() || op < 4) {
    Doc d{word(rng, 6), word(rng, 30), memo(rng)};
    RecordValues r = writer.newRecord();
    ASSERT_TRUE(r.setText("Tip", d.tip));
    ASSERT_TRUE(r.setText("Name", d.name));
    ASSERT_TRUE(r.setText("Text", d.text));
    auto stored = writer.insert(r);
    ASSERT_TRUE(stored) << stored.status().toString();
    model[idOf(*stored)] = d;
    return;
  }
  auto it = model.begin();
  std::advance(it, static_cast<long>(rng() % model.size()));
  auto stored = writer.fetch(keyRecord(writer, it->first));
  ASSERT_TRUE(stored);
  ASSERT_FALSE(stored->empty());
  if (op < 6) {
    ASSERT_TRUE(writer.remove(*stored));
    model.erase(it);
    return;
  }
  RecordValues r = writer.editRecord(*stored);
  if (op < 8) {
    it->second.name = word(rng, 30);
    ASSERT_TRUE(r.setText("Name", it->second.name));
    if (rng() % 3 == 0) {
      it->second.tip = word(rng, 6);
      ASSERT_TRUE(r.setText("Tip", it->second.tip));
    }
  } else {
    it->second.text = memo(rng);
    ASSERT_TRUE(r.setText("Text", it->second.text));
  }
  auto updated = writer.update(*stored, r);
  ASSERT_TRUE(updated) << updated.status().toString();
}

class TempDir {
public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("velanta-writer-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string path() const { return path_.string(); }

private:
  fs::path path_;
  static inline int counter_ = 0;
};

void copyOut(MemoryFileSystem &files, const std::string &to) {
  auto names = files.list(kDir);
  ASSERT_TRUE(names);
  for (const std::string &n : *names) {
    const auto bytes = files.contents(kDir + "/" + n);
    std::ofstream out(to + "/" + n, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
}

TEST(TableWriter, RandomChangesMatchTheModelAndPxlib) {
  MemoryFileSystem files;
  Model model = buildCatalogue(files, 150, 1);
  auto writer = TableWriter::open(kDir, "BASE.DB", {.passwords = {}, .fileSystem = &files});
  ASSERT_TRUE(writer) << writer.status().toString();
  std::mt19937 rng(42);
  for (int step = 0; step < 1200; ++step) {
    randomStep(**writer, model, rng);
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_EQ(readBack(files, **writer), model) << "after step " << step;
    if (step % 10 == 0 || step > 1190) expectSound(files);
  }
  ASSERT_EQ(readBack(files, **writer), model);

  // Our reader, given only the files, finds TipGlavno in step and in the order of the model.
  OpenOptions options;
  options.fileSystem = &files;
  auto table = Table::open(kDir, "base.db", options);
  ASSERT_TRUE(table) << table.status().toString();
  ASSERT_EQ((*table)->indexes().size(), 1u);
  EXPECT_TRUE((*table)->indexes()[0].inStep) << (*table)->indexes()[0].problem;
  auto cursor = (*table)->openCursor("TipGlavno");
  ASSERT_TRUE(cursor) << cursor.status().toString();
  EXPECT_FALSE((*cursor)->usesRebuiltIndex());
  std::vector<std::tuple<std::string, std::string, std::int32_t>> expected;
  for (const auto &[id, doc] : model)
    expected.emplace_back(doc.tip, doc.name, id);
  KeyOrder order("ancyrr");
  auto alphaLess = [&](const std::string &a, const std::string &b, int width) {
    std::string x = a, y = b;
    x.resize(static_cast<std::size_t>(width), '\0');
    y.resize(static_cast<std::size_t>(width), '\0');
    return order.compareAlpha(std::span(reinterpret_cast<const std::uint8_t *>(x.data()), x.size()),
                              std::span(reinterpret_cast<const std::uint8_t *>(y.data()), y.size()),
                              false);
  };
  std::sort(expected.begin(), expected.end(), [&](const auto &a, const auto &b) {
    if (int c = alphaLess(std::get<0>(a), std::get<0>(b), 40); c != 0) return c < 0;
    if (int c = alphaLess(std::get<1>(a), std::get<1>(b), 120); c != 0) return c < 0;
    return std::get<2>(a) < std::get<2>(b);
  });
  ASSERT_EQ((*cursor)->recordCount(), expected.size());
  ASSERT_TRUE((*cursor)->first());
  for (const auto &[tip, name, id] : expected) {
    const auto stored = (*cursor)->recordBytes();
    ASSERT_EQ(stored.size(), static_cast<std::size_t>((*writer)->layout().recordSize));
    EXPECT_EQ(idOf({stored.begin(), stored.end()}), id);
    EXPECT_EQ(alpha({stored.begin(), stored.end()}, 44, 120), name);
    ASSERT_TRUE((*cursor)->next());
  }
  EXPECT_TRUE((*cursor)->eof());

  TempDir dir;
  copyOut(files, dir.path());
  std::string error;
  const auto px = testing::readWithPxlib(dir.path() + "/base.db", dir.path() + "/base.mb", &error);
  ASSERT_TRUE(px) << error;
  ASSERT_EQ(px->records.size(), model.size());
  auto it = model.begin();
  for (const auto &r : px->records) {
    EXPECT_EQ(r[0].value_or(""), std::to_string(it->first));
    EXPECT_EQ(r[1].value_or(""), it->second.tip);
    EXPECT_EQ(r[2].value_or(""), it->second.name);
    EXPECT_EQ(r[3].value_or(""), it->second.text);
    ++it;
  }
}

TEST(TableWriter, UnkeyedTableKeepsInsertionOrder) {
  MemoryFileSystem files;
  TableSpec definition;
  definition.fields = {{"Tip", FieldType::kAlpha, 30}, {"Note", FieldType::kMemo, 12}};
  ASSERT_TRUE(createTable(kDir + "/tip.db", definition, files));
  auto writer = TableWriter::open(kDir, "tip.db", {.passwords = {}, .fileSystem = &files});
  ASSERT_TRUE(writer) << writer.status().toString();
  TableWriter &w = **writer;
  std::vector<std::vector<std::uint8_t>> model; // stored records in chain order
  std::mt19937 rng(11);
  for (int step = 0; step < 600; ++step) {
    const int op = static_cast<int>(rng() % 6);
    if (model.empty() || op < 3) {
      RecordValues r = w.newRecord();
      ASSERT_TRUE(r.setText("Tip", "kind " + std::to_string(step)));
      ASSERT_TRUE(r.setText("Note", std::string(rng() % 3000, 'n')));
      const std::size_t at = model.empty() ? 0 : rng() % (model.size() + 1);
      const std::span<const std::uint8_t> before = at < model.size()
                                                       ? std::span<const std::uint8_t>(model[at])
                                                       : std::span<const std::uint8_t>();
      auto stored = w.insertBefore(r, before); // Insert puts it before the current record
      ASSERT_TRUE(stored) << stored.status().toString();
      model.insert(model.begin() + static_cast<long>(at), *stored);
    } else {
      const std::size_t at = rng() % model.size();
      if (op < 5) {
        ASSERT_TRUE(w.remove(model[at]));
        model.erase(model.begin() + static_cast<long>(at));
      } else {
        RecordValues r = w.editRecord(model[at]);
        ASSERT_TRUE(r.setText("Tip", "edited " + std::to_string(step)));
        auto stored = w.update(model[at], r);
        ASSERT_TRUE(stored);
        model[at] = *stored;
      }
    }
    if (step % 20 == 0 || step == 599) {
      expectSound(files, "tip.db");
      auto db = files.open(kDir + "/tip.db", OpenMode::kReadOnly);
      auto view = PageOverlay::over(**db);
      BlockFile file(**view, "tip.db");
      ASSERT_TRUE(file.load());
      std::vector<std::vector<std::uint8_t>> chain;
      for (std::uint16_t b = file.counters.firstBlock; b != 0;) {
        auto block = file.readBlock(b);
        ASSERT_TRUE(block);
        for (int i = 0; i < blockRecordCount(block->data(), file.recordSize(), file.blockSize());
             ++i)
          chain.emplace_back(recordAt(*block, i, file.recordSize()),
                             recordAt(*block, i + 1, file.recordSize()));
        b = bytes::getU16le(block->data());
      }
      ASSERT_EQ(chain, model) << "after step " << step;
    }
  }
}

TEST(TableWriter, EncryptedTableStaysEncrypted) {
  MemoryFileSystem files;
  Model model = buildCatalogue(files, 60, 3, "Tavirek4806");
  EXPECT_EQ(TableWriter::open(kDir, "base.db", {.passwords = {"wrong"}, .fileSystem = &files})
                .status()
                .code(),
            ErrorCode::kInsufficientTableRights);
  auto writer =
      TableWriter::open(kDir, "base.db", {.passwords = {"Tavirek4806"}, .fileSystem = &files});
  ASSERT_TRUE(writer) << writer.status().toString();
  std::mt19937 rng(5);
  for (int step = 0; step < 300; ++step) {
    randomStep(**writer, model, rng);
    if (::testing::Test::HasFatalFailure()) return;
  }
  expectSound(files, "base.db", {"Tavirek4806"});
  EXPECT_EQ(readBack(files, **writer), model);
  const auto db = files.contents(kDir + "/base.db");
  EXPECT_EQ(bytes::getU32le(&db[0x5C]), 0x14E88A6Fu);
  const std::string blocks(db.begin() + 0x800, db.end());
  for (const auto &[id, doc] : model)
    if (doc.name.size() > 8) {
      EXPECT_EQ(blocks.find(doc.name), std::string::npos) << "name in clear: " << id;
    }
}

TEST(TableWriter, RefusesKeyViolationAndChangesNothing) {
  MemoryFileSystem files;
  buildCatalogue(files, 20, 9);
  auto writer = TableWriter::open(kDir, "base.db", {.passwords = {}, .fileSystem = &files});
  ASSERT_TRUE(writer);
  const auto before = files.contents(kDir + "/base.db");
  const auto mbBefore = files.contents(kDir + "/base.mb");
  RecordValues r = (*writer)->newRecord();
  ASSERT_TRUE(r.set("ID", std::int32_t{10}));
  ASSERT_TRUE(r.setText("Text", std::string(5000, 'q')));
  EXPECT_EQ((*writer)->insert(r).status().code(), ErrorCode::kKeyViolation);
  EXPECT_EQ(files.contents(kDir + "/base.db"), before);
  EXPECT_EQ(files.contents(kDir + "/base.mb"), mbBefore);
  EXPECT_FALSE(files.exists(journalPath(kDir + "/base.db")));
}

TEST(TableWriter, EditOfAStaleRecordIsRefused) {
  MemoryFileSystem files;
  buildCatalogue(files, 10, 2);
  auto a = TableWriter::open(kDir, "base.db", {.passwords = {}, .fileSystem = &files});
  auto b = TableWriter::open(kDir, "base.db", {.passwords = {}, .fileSystem = &files});
  ASSERT_TRUE(a && b);
  auto stored = (*a)->fetch(keyRecord(**a, 4));
  ASSERT_FALSE(stored->empty());
  ASSERT_TRUE(stored);
  RecordValues first = (*a)->editRecord(*stored);
  ASSERT_TRUE(first.setText("Name", "first"));
  ASSERT_TRUE((*a)->update(*stored, first));
  RecordValues second = (*b)->editRecord(*stored);
  ASSERT_TRUE(second.setText("Name", "second"));
  EXPECT_FALSE((*b)->update(*stored, second));
  EXPECT_FALSE((*b)->remove(*stored));
}

// The fault-injection runs: fail the k-th write of a change (once, or from then on, or lose
// everything unsynced), reopen, and find either the state before or the state after.
enum class Fault { kOnce, kFromThenOn, kPowerLoss };

struct Scenario {
  const char *name;
  std::function<void(TableWriter &, Model &)> change;
};

void runFaults(const Scenario &scenario, Fault fault) {
  MemoryFileSystem pristine;
  const Model before = buildCatalogue(pristine, 80, 17);
  std::map<std::string, std::vector<std::uint8_t>> snapshot;
  const auto names = pristine.list(kDir);
  ASSERT_TRUE(names);
  for (const std::string &n : names.value())
    snapshot[n] = pristine.contents(kDir + "/" + n);
  Model after = before;
  {
    MemoryFileSystem files;
    for (const auto &[n, bytes] : snapshot)
      files.setContents(kDir + "/" + n, bytes);
    auto writer = TableWriter::open(kDir, "base.db", {.passwords = {}, .fileSystem = &files});
    ASSERT_TRUE(writer);
    scenario.change(**writer, after);
    ASSERT_NE(after, before) << scenario.name << " changes nothing";
  }
  for (int k = 1;; ++k) {
    MemoryFileSystem files;
    for (const auto &[n, bytes] : snapshot)
      files.setContents(kDir + "/" + n, bytes);
    auto writer = TableWriter::open(kDir, "base.db", {.passwords = {}, .fileSystem = &files});
    ASSERT_TRUE(writer);
    int writes = 0;
    bool hit = false;
    files.setWriteHook([&](const std::string &, std::uint64_t, std::size_t) -> Status {
      ++writes;
      if (writes == k || (fault != Fault::kOnce && writes > k)) {
        hit = true;
        return Status::error(ErrorCode::kIoError, {"injected"});
      }
      return {};
    });
    Model ignored = before;
    scenario.change(**writer, ignored);
    ::testing::Test::HasFailure(); // the change itself may fail: that is the point
    if (fault == Fault::kPowerLoss) files.dropUnsyncedData();
    files.setWriteHook(nullptr);
    writer->reset();
    if (k % 2 == 0) {
      // A reader coming first undoes an interrupted change too.
      OpenOptions readOnly;
      readOnly.access = AccessMode::kReadOnly;
      readOnly.fileSystem = &files;
      auto table = Table::open(kDir, "base.db", readOnly);
      ASSERT_TRUE(table) << table.status().toString();
      EXPECT_FALSE(files.exists(journalPath(kDir + "/base.db")));
    }
    auto reopened = TableWriter::open(kDir, "base.db", {.passwords = {}, .fileSystem = &files});
    ASSERT_TRUE(reopened) << scenario.name << " k=" << k << ": " << reopened.status().toString();
    expectSound(files);
    const Model now = readBack(files, **reopened);
    EXPECT_TRUE(now == before || now == after) << scenario.name << " k=" << k;
    if (!hit) {
      // The change ran to its end without reaching the k-th write.
      EXPECT_GT(k, 5) << scenario.name << ": a change writes several times";
      EXPECT_TRUE(now == after) << scenario.name;
      break;
    }
  }
}

std::vector<Scenario> scenarios() {
  return {
      {"insert with a block split",
       [](TableWriter &w, Model &m) {
         RecordValues r = w.newRecord();
         (void)r.setText("Tip", "\xc0");
         (void)r.setText("Name", "\xc0\xc0");
         (void)r.setText("Text", std::string(3000, 'm'));
         (void)r.set("ID", std::int32_t{41}); // into a full block in the middle: it splits
         if (w.insert(r)) m[41] = {"\xc0", "\xc0\xc0", std::string(3000, 'm')};
       }},
      {"memo edit",
       [](TableWriter &w, Model &m) {
         auto stored = w.fetch(keyRecord(w, 8));
         if (!stored || stored->empty()) return;
         RecordValues r = w.editRecord(*stored);
         (void)r.setText("Text", std::string(9000, 'z'));
         (void)r.setText("Name", "renamed");
         if (w.update(*stored, r)) {
           m[8].text = std::string(9000, 'z');
           m[8].name = "renamed";
         }
       }},
      {"delete",
       [](TableWriter &w, Model &m) {
         auto stored = w.fetch(keyRecord(w, 12));
         if (stored && !stored->empty() && w.remove(*stored)) m.erase(12);
       }},
  };
}

TEST(TableWriterFaults, EveryWriteFailingOnce) {
  for (const Scenario &s : scenarios())
    runFaults(s, Fault::kOnce);
}
TEST(TableWriterFaults, EveryWriteFailingFromThenOn) {
  for (const Scenario &s : scenarios())
    runFaults(s, Fault::kFromThenOn);
}
TEST(TableWriterFaults, PowerLossAtEveryWrite) {
  for (const Scenario &s : scenarios())
    runFaults(s, Fault::kPowerLoss);
}

} // namespace
} // namespace velanta::paradox

namespace velanta::paradox {
namespace {

TEST(TableEditor, PostInsertDeleteThroughTheEntryPointsOfADataSet) {
  MemoryFileSystem files;
  buildCatalogue(files, 30, 4);
  OpenOptions options;
  options.fileSystem = &files;
  auto table = Table::open(kDir, "base.db", options);
  ASSERT_TRUE(table) << table.status().toString();
  auto editor = TableEditor::open(**table);
  ASSERT_TRUE(editor) << editor.status().toString();
  auto cursor = (*table)->openCursor("TipGlavno");
  ASSERT_TRUE(cursor);
  const std::vector<std::uint8_t> current((*cursor)->recordBytes().begin(),
                                          (*cursor)->recordBytes().end());
  const int name = (*table)->fieldIndex("Name");
  const int text = (*table)->fieldIndex("Text");

  ASSERT_TRUE((*editor)->edit(current));
  // An over-long name is refused naming the field; the edit goes on, nothing is written.
  const auto before = files.contents(kDir + "/base.db");
  auto refused = (*editor)->post(current, {{name, {false, std::string(121, 'n')}}});
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.status().code(), ErrorCode::kInvalidArgument);
  EXPECT_NE(refused.status().toString().find("Name"), std::string::npos);
  EXPECT_EQ(files.contents(kDir + "/base.db"), before);
  auto written = (*editor)->post(
      current, {{name, {false, "\xcd\xee\xe2\xee\xe5"}}, {text, {false, std::string(4000, 't')}}});
  ASSERT_TRUE(written) << written.status().toString();
  EXPECT_EQ(alpha(*written, 44, 120), "\xcd\xee\xe2\xee\xe5");
  EXPECT_EQ(*(*editor)->writer().readBlob(*written, text), std::string(4000, 't'));

  auto inserted = (*editor)->insert(
      {{(*table)->fieldIndex("Tip"), {false, "\xc2\xe8\xe4"}}, {name, {false, "new"}}});
  ASSERT_TRUE(inserted) << inserted.status().toString();
  EXPECT_EQ(idOf(*inserted), 61); // the next autoincrement value after 2 × 30
  ASSERT_TRUE((*editor)->remove(*inserted));
  expectSound(files);

  // Readers opened afterwards see the posted name in TipGlavno order.
  auto reread = Table::open(kDir, "base.db", options);
  ASSERT_TRUE(reread);
  EXPECT_EQ((*reread)->info().records, 30u);
}

} // namespace
} // namespace velanta::paradox

namespace velanta::paradox {
namespace {

// Names in TipGlavno order as a cursor opened now presents them.
std::vector<std::string> namesInIndexOrder(Table &table) {
  std::vector<std::string> names;
  auto cursor = table.openCursor("TipGlavno");
  EXPECT_TRUE(cursor) << cursor.status().toString();
  if (!cursor) return names;
  const int name = table.fieldIndex("Name");
  for (auto s = (*cursor)->first(); (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
    EXPECT_TRUE(s) << s.toString();
    const Value value = (*cursor)->value(name);
    names.emplace_back(std::holds_alternative<Text>(value) ? std::get<Text>(value).bytes : "");
    if ((*cursor)->eof() || (*cursor)->recordNumber() == (*cursor)->recordCount()) break;
  }
  return names;
}

// Cursors of one table share the walk of an index's block chain; a cursor opened after the
// table was changed through its editor must still see the change, whatever earlier cursors
// walked. Enough records that an insert splits index blocks, plain and protected.
TEST(TableEditor, CursorOpenedAfterAChangeSeesIt) {
  for (const std::string password : {"", "Tavirek4806"}) {
    SCOPED_TRACE(password.empty() ? "plain" : "protected");
    MemoryFileSystem files;
    buildCatalogue(files, 400, 9, password);
    OpenOptions options;
    options.fileSystem = &files;
    options.passwords = {password};
    auto table = Table::open(kDir, "base.db", options);
    ASSERT_TRUE(table) << table.status().toString();
    auto editor = TableEditor::open(**table);
    ASSERT_TRUE(editor) << editor.status().toString();
    const auto before = namesInIndexOrder(**table);
    ASSERT_EQ(before.size(), 400u);
    auto held = (*table)->openCursor(); // opened before the change, kept across it
    ASSERT_TRUE(held);
    EXPECT_EQ(namesInIndexOrder(**table), before); // a second walk (or none) shows the same

    const int tip = (*table)->fieldIndex("Tip");
    const int name = (*table)->fieldIndex("Name");
    std::vector<std::string> added;
    std::int32_t lastId = 0;
    for (int i = 0; i < 60; ++i) {
      added.push_back("added " + std::to_string(i));
      auto inserted = (*editor)->insert({{tip, {false, "a"}}, {name, {false, added.back()}}});
      ASSERT_TRUE(inserted) << inserted.status().toString();
      lastId = idOf(*inserted);
    }
    // A seek on the primary key finds the newest record (through the key's tree or the chain).
    auto byKey = (*table)->openCursor();
    ASSERT_TRUE(byKey);
    ASSERT_TRUE((*byKey)->setRange(lastId, lastId));
    ASSERT_EQ((*byKey)->recordCount(), 1u);
    EXPECT_EQ((*byKey)->value(name), Value(Text{added.back()}));
    const auto after = namesInIndexOrder(**table);
    EXPECT_EQ(after.size(), 460u);
    for (const std::string &n : added)
      EXPECT_NE(std::find(after.begin(), after.end(), n), after.end()) << n;
    // The cursor from before keeps the order it was opened with and still moves through it.
    EXPECT_EQ((*held)->recordCount(), 400u);
    for (auto s = (*held)->first(); !(*held)->eof(); s = (*held)->next())
      ASSERT_TRUE(s) << s.toString();
    EXPECT_EQ((*held)->recordNumber(), 400u);
    expectSound(files, "base.db", {password});
  }
}

} // namespace
} // namespace velanta::paradox
