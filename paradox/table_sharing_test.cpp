// Two real processes changing one table: record locks between them, and concurrent inserts
// that both land, leaving the table sound.
#include "paradox/table_check.h"
#include "paradox/table_writer.h"

#include "paradox/bytes.h"
#include "paradox/create.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace velanta::paradox {
namespace {

namespace fs = std::filesystem;

class SharedTable : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("velanta-sharing-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    TableSpec definition;
    definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                         {"Tip", FieldType::kAlpha, 20},
                         {"Name", FieldType::kAlpha, 60},
                         {"Text", FieldType::kMemo, 20}};
    definition.keyFields = 1;
    definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
    auto builder = TableBuilder::make(definition);
    ASSERT_TRUE(builder);
    for (int i = 0; i < 50; ++i) {
      RecordValues r = builder->newRecord();
      ASSERT_TRUE(r.setText("Tip", "kind" + std::to_string(i % 5)));
      ASSERT_TRUE(r.setText("Name", "doc" + std::to_string(i)));
      ASSERT_TRUE(r.setText("Text", std::string(100 + i * 50, 'x')));
      ASSERT_TRUE(builder->append(r));
    }
    ASSERT_TRUE(builder->write((dir_ / "base.db").string()));
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<TableWriter> openWriter() {
    auto w = TableWriter::open(dir_.string(), "base.db");
    EXPECT_TRUE(w) << w.status().toString();
    return w ? std::move(*w) : nullptr;
  }

  static std::vector<std::uint8_t> key(const TableWriter &w, std::int32_t id) {
    std::vector<std::uint8_t> r(static_cast<std::size_t>(w.layout().recordSize), 0);
    bytes::putBe(r.data(), static_cast<std::uint32_t>(id) ^ 0x80000000u, 4);
    return r;
  }

  fs::path dir_;
};

// Runs `body` in a child process; returns its exit status.
template <class Body> pid_t spawn(Body &&body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 1;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST_F(SharedTable, SecondEditorOfARecordGetsRecordLocked) {
  int toParent[2], toChild[2];
  ASSERT_EQ(::pipe(toParent), 0);
  ASSERT_EQ(::pipe(toChild), 0);
  const pid_t child = spawn([&] {
    auto writer = openWriter();
    if (!writer) return 2;
    auto stored = writer->fetch(key(*writer, 7));
    if (!stored) return 3;
    if (Status s = writer->lockRecord(*stored); !s) {
      std::fprintf(stderr, "child: %s\n", s.toString().c_str());
      return 7;
    }
    char c = 'L';
    if (::write(toParent[1], &c, 1) != 1 || ::read(toChild[0], &c, 1) != 1) return 4;
    RecordValues r = writer->editRecord(*stored);
    if (!r.setText("Name", "edited by the child")) return 5;
    if (auto written = writer->update(*stored, r); !written) {
      std::fprintf(stderr, "child: %s\n", written.status().toString().c_str());
      return 6;
    }
    writer->unlockRecord();
    return 0;
  });
  ::close(toParent[1]); // a child that fails early ends the read below
  ::close(toChild[0]);
  char c = 0;
  if (::read(toParent[0], &c, 1) != 1) FAIL() << "child failed with " << waitFor(child);
  auto writer = openWriter();
  ASSERT_TRUE(writer);
  auto stored = writer->fetch(key(*writer, 7));
  ASSERT_TRUE(stored);
  const Status locked = writer->lockRecord(*stored);
  EXPECT_EQ(locked.code(), ErrorCode::kRecordLocked);
  EXPECT_EQ(locked.message(), "Запись заблокирована другим пользователем.");
  auto other = writer->fetch(key(*writer, 8));
  ASSERT_TRUE(other);
  EXPECT_TRUE(writer->lockRecord(*other)); // other records stay free
  writer->unlockRecord();
  ASSERT_EQ(::write(toChild[1], "G", 1), 1);
  ASSERT_EQ(waitFor(child), 0);
  // The child's change is there, and the record is free again.
  auto now = writer->fetch(key(*writer, 7));
  ASSERT_TRUE(now);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(now->data() + 24), 19),
            "edited by the child");
  EXPECT_TRUE(writer->lockRecord(*now));
  // An edit based on the bytes read before the child's change is refused, not lost silently.
  RecordValues stale = writer->editRecord(*stored);
  ASSERT_TRUE(stale.setText("Name", "late"));
  EXPECT_FALSE(writer->update(*stored, stale));
}

TEST_F(SharedTable, ConcurrentInsertsFromTwoProcessesAllLand) {
  auto insertMany = [this](const std::string &who) {
    auto writer = openWriter();
    if (!writer) return 2;
    for (int i = 0; i < 150; ++i) {
      RecordValues r = writer->newRecord();
      if (!r.setText("Tip", who) || !r.setText("Name", who + std::to_string(i)) ||
          !r.setText("Text", std::string(static_cast<std::size_t>(i * 37 % 5000), 'q')))
        return 3;
      if (!writer->insert(r)) return 4;
    }
    return 0;
  };
  const pid_t a = spawn([&] { return insertMany("A"); });
  const pid_t b = spawn([&] { return insertMany("B"); });
  EXPECT_EQ(waitFor(a), 0);
  EXPECT_EQ(waitFor(b), 0);
  auto problems = checkTable(posixFileSystem(), dir_.string(), "base.db");
  ASSERT_TRUE(problems);
  for (const std::string &p : *problems)
    ADD_FAILURE() << p;
  auto writer = openWriter();
  ASSERT_TRUE(writer);
  auto last = writer->fetch(key(*writer, 350));
  ASSERT_TRUE(last);
  EXPECT_FALSE(last->empty()); // 50 + 2 × 150 records, numbered without a gap or a clash
}

} // namespace
} // namespace velanta::paradox
