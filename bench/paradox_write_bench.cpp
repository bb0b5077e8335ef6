// Changing a 100 000-record catalogue table on disk, every change durable (journal + fsync):
// the post of an edited document name (moves its TipGlavno entry) and the insert of a
// document with a 50 KB memo.
#include "paradox/bytes.h"
#include "paradox/create.h"
#include "paradox/table_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

namespace {

using namespace velanta::paradox;
namespace fs = std::filesystem;

constexpr int kRecords = 100000;

// The table is made once per process, in a folder removed at exit.
struct WriteBenchTable {
  fs::path dir;
  bool ready = false;

  WriteBenchTable() {
    dir = fs::temp_directory_path() / ("velanta-write-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    TableSpec definition;
    definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                         {"Tip", FieldType::kAlpha, 40},
                         {"Name", FieldType::kAlpha, 120},
                         {"Text", FieldType::kMemo, 40}};
    definition.keyFields = 1;
    definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
    auto builder = TableBuilder::make(definition);
    if (!builder) return;
    std::mt19937 rng(1);
    const std::string body = "{\\rtf1\\ansi\\ansicpg1251 " + std::string(400, 'x') + "}";
    for (int i = 0; i < kRecords; ++i) {
      RecordValues r = builder->newRecord();
      const std::string tip = "\xc2\xe8\xe4 " + std::to_string(i % 40);
      const std::string name = "\xc4\xee\xe3\xee\xe2\xee\xf0 " + std::to_string(rng() % 1000000);
      if (!r.setText("Tip", tip) || !r.setText("Name", name) || !r.setText("Text", body) ||
          !builder->append(r))
        return;
    }
    ready = static_cast<bool>(builder->write((dir / "base.db").string()));
    if (!ready)
      std::fprintf(stderr, "velanta-bench: cannot make the write benchmark table in %s\n",
                   dir.c_str());
  }
  ~WriteBenchTable() { fs::remove_all(dir); }
};

WriteBenchTable &table() {
  static WriteBenchTable instance;
  return instance;
}

std::vector<std::uint8_t> keyOf(const TableWriter &w, std::int32_t id) {
  std::vector<std::uint8_t> r(static_cast<std::size_t>(w.layout().recordSize), 0);
  bytes::putBe(r.data(), static_cast<std::uint32_t>(id) ^ 0x80000000u, 4);
  return r;
}

void BM_PostEditedName(benchmark::State &state) {
  if (!table().ready) {
    state.SkipWithError("no table");
    return;
  }
  auto writer = TableWriter::open(table().dir.string(), "base.db");
  if (!writer) {
    state.SkipWithError(writer.status().toString().c_str());
    return;
  }
  std::mt19937 rng(7);
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto id = static_cast<std::int32_t>(1 + rng() % kRecords);
    auto stored = (*writer)->fetch(keyOf(**writer, id));
    RecordValues edit = (*writer)->editRecord(*stored);
    (void)edit.setText("Name", "\xcd\xee\xe2\xee\xe5 \xe8\xec\xff " + std::to_string(round++));
    state.ResumeTiming();
    auto written = (*writer)->update(*stored, edit);
    if (!written) {
      state.SkipWithError(written.status().toString().c_str());
      return;
    }
  }
}
BENCHMARK(BM_PostEditedName)->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_InsertWith50KbMemo(benchmark::State &state) {
  if (!table().ready) {
    state.SkipWithError("no table");
    return;
  }
  auto writer = TableWriter::open(table().dir.string(), "base.db");
  if (!writer) {
    state.SkipWithError(writer.status().toString().c_str());
    return;
  }
  const std::string memo(50 * 1024, 'm');
  int round = 0;
  for (auto _ : state) {
    RecordValues r = (*writer)->newRecord();
    (void)r.setText("Tip", "\xc2\xe8\xe4 7");
    (void)r.setText("Name", "\xcd\xee\xe2\xfb\xe9 " + std::to_string(round++));
    (void)r.setText("Text", memo);
    auto written = (*writer)->insert(r);
    if (!written) {
      state.SkipWithError(written.status().toString().c_str());
      return;
    }
  }
}
BENCHMARK(BM_InsertWith50KbMemo)->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace
