// Table engine: open + full scan, open + range seek + first record, over a generated
// 100 000-record table with memos and a TipGlavno index; pxlib's full scan of the same file
// beside it. The table is made once (by the engine's writer) under the temp directory.
#include "bench/bench_ratio.h"
#include "paradox/create.h"
#include "paradox/table.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

#ifdef VELANTA_BENCH_PXLIB
#include "bench/pxlib_scan.h"
namespace velanta::paradox::testing {
extern thread_local bool attachingBlobFile;
}
#endif

namespace {

using namespace velanta::paradox;
namespace fs = std::filesystem;

constexpr int kRecords = 100'000;
constexpr int kKinds = 50;

std::string kindName(int k) {
  // "Договор" + number, in cp1251.
  return "\xc4\xee\xe3\xee\xe2\xee\xf0 " + std::to_string(k);
}

const fs::path &tableDirectory() {
  static const fs::path dir = fs::temp_directory_path() / "velanta-bench-100k";
  static const bool ready = [] {
    OpenOptions options;
    options.access = AccessMode::kReadOnly;
    if (auto table = Table::open(dir.string(), "base.db", options);
        table && (*table)->info().records == kRecords)
      return true;
    fs::remove_all(dir);
    fs::create_directories(dir);
    TableSpec definition;
    definition.fields = {{"ID", FieldType::kAutoIncrement, 0}, {"Tip", FieldType::kAlpha, 40},
                         {"Name", FieldType::kAlpha, 120},     {"Dated", FieldType::kDate, 0},
                         {"Amount", FieldType::kMoney, 0},     {"Text", FieldType::kMemo, 40}};
    definition.keyFields = 1;
    definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
    auto builder = TableBuilder::make(definition);
    if (!builder) return false;
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, 1 << 30);
    for (int i = 0; i < kRecords; ++i) {
      RecordValues record = builder->newRecord();
      (void)record.setText("Tip", kindName(pick(random) % kKinds));
      (void)record.setText("Name",
                           "\xc4\xee\xea\xf3\xec\xe5\xed\xf2 " + std::to_string(pick(random)));
      (void)record.set("Dated", Date::fromYmd(1995 + i % 30, 1 + i % 12, 1 + i % 28));
      (void)record.set("Amount", (pick(random) % 1000000) / 100.0);
      const int roll = pick(random) % 100;
      const int length = roll < 80   ? pick(random) % 150
                         : roll < 98 ? 150 + pick(random) % 850
                                     : 2049 + pick(random) % 4000;
      (void)record.setText("Text", std::string(static_cast<std::size_t>(length), 'r'));
      if (!builder->append(record)) return false;
    }
    return builder->write((dir / "base.db").string()).isOk();
  }();
  if (!ready)
    std::fprintf(stderr, "velanta-bench: cannot make the benchmark table in %s\n", dir.c_str());
  return dir;
}

std::unique_ptr<Table> openTable() {
  OpenOptions options;
  options.access = AccessMode::kReadOnly;
  auto table = Table::open(tableDirectory().string(), "base.db", options);
  return table ? std::move(table).value() : nullptr;
}

// Baseline: the .DB file's bytes read in 64 KB pieces.
void BM_ReadDbFileBytes(benchmark::State &state) {
  const std::string path = (tableDirectory() / "base.db").string();
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
      total += static_cast<std::size_t>(n);
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_ReadDbFileBytes)->Unit(benchmark::kMillisecond);

// Every field of every record decoded (memo fields: their record part, not the .MB bytes).
void scan(benchmark::State &state, bool withMemos) {
  std::vector<std::uint8_t> memo;
  for (auto _ : state) {
    auto table = openTable();
    auto cursor = table->openCursor();
    std::size_t checksum = 0;
    const int fields = static_cast<int>(table->fields().size());
    for (auto s = (*cursor)->first(); (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
      for (int i = 0; i < fields; ++i) {
        const Value value = (*cursor)->value(i);
        checksum += value.index();
        if (const auto *text = std::get_if<Text>(&value)) checksum += text->bytes.size();
        if (withMemos && std::holds_alternative<Blob>(value)) {
          (void)(*cursor)->readBlob(i, memo);
          checksum += memo.size();
        }
      }
      if ((*cursor)->eof() || (*cursor)->recordNumber() == (*cursor)->recordCount()) break;
    }
    benchmark::DoNotOptimize(checksum);
  }
  state.counters["records"] = kRecords;
}

void BM_OpenFullScan(benchmark::State &state) {
  scan(state, false);
}
BENCHMARK(BM_OpenFullScan)->Unit(benchmark::kMillisecond);

void BM_OpenFullScanWithMemos(benchmark::State &state) {
  scan(state, true);
}
BENCHMARK(BM_OpenFullScanWithMemos)->Unit(benchmark::kMillisecond);

// What the catalogue does on start and on every kind change.
void BM_OpenRangeSeekFirst(benchmark::State &state) {
  int kind = 0;
  for (auto _ : state) {
    auto table = openTable();
    auto cursor = table->openCursor("TipGlavno");
    const std::string tip = kindName(kind++ % kKinds);
    (void)(*cursor)->setRange(Text{tip}, Text{tip});
    (void)(*cursor)->first();
    benchmark::DoNotOptimize((*cursor)->value(2));
  }
}
BENCHMARK(BM_OpenRangeSeekFirst)->Unit(benchmark::kMicrosecond);

// A range change on an open cursor (a click in the kinds list).
void BM_RangeSeekFirst(benchmark::State &state) {
  auto table = openTable();
  auto cursor = table->openCursor("TipGlavno");
  int kind = 0;
  for (auto _ : state) {
    const std::string tip = kindName(kind++ % kKinds);
    (void)(*cursor)->setRange(Text{tip}, Text{tip});
    (void)(*cursor)->first();
    benchmark::DoNotOptimize((*cursor)->value(2));
  }
}
BENCHMARK(BM_RangeSeekFirst)->Unit(benchmark::kMicrosecond);

const velanta::bench::Ratio scanVsBytes("ours full scan / reading the .DB bytes", "BM_OpenFullScan",
                                        "BM_ReadDbFileBytes");

#ifdef VELANTA_BENCH_PXLIB
// pxlib's full scan: every record retrieved as values (memos included, as pxlib always does).
void BM_PxlibFullScan(benchmark::State &state) {
  const std::string db = (tableDirectory() / "base.db").string();
  const std::string mb = (tableDirectory() / "base.mb").string();
  for (auto _ : state) {
    pxdoc_t *doc = PX_new();
    PX_open_file(doc, db.c_str());
    velanta::paradox::testing::attachingBlobFile = true;
    PX_set_blob_file(doc, mb.c_str());
    velanta::paradox::testing::attachingBlobFile = false;
    const std::size_t checksum = pxlibScanRecords(doc);
    PX_close(doc);
    PX_delete(doc);
    benchmark::DoNotOptimize(checksum);
  }
}
BENCHMARK(BM_PxlibFullScan)->Unit(benchmark::kMillisecond);

const velanta::bench::Ratio pxlibVsOurs("pxlib full scan / ours (records only)", "BM_PxlibFullScan",
                                        "BM_OpenFullScan");
const velanta::bench::Ratio pxlibVsOursMemos("pxlib full scan / ours (memos read too)",
                                             "BM_PxlibFullScan", "BM_OpenFullScanWithMemos");
#endif

} // namespace
