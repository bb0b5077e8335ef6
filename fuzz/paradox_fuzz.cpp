// Opens a table family made of the fuzzer's bytes and reads everything a user can reach:
// every record in the table's order and in every index's order, every value and blob, moves
// and a range on the first key field. Failures must be Status values, never crashes or hangs.
#include "fuzz/paradox_fuzz_input.h"
#include "paradox/table.h"

#include <cstring>

using namespace velanta::paradox;
using velanta::fuzz::loadFamily;

namespace {

void readAll(Cursor &cursor, const Table &table) {
  std::vector<std::uint8_t> blob;
  const std::uint64_t count = cursor.recordCount();
  int visited = 0;
  for (auto status = cursor.first(); status && cursor.recordNumber() != 0 && visited < 3000;
       status = cursor.next(), ++visited) {
    for (std::size_t i = 0; i < table.fields().size(); ++i) {
      const Value value = cursor.value(static_cast<int>(i));
      if (std::holds_alternative<Blob>(value))
        (void)cursor.readBlob(static_cast<int>(i), blob);
      else if (const auto *bcd = std::get_if<Bcd>(&value))
        (void)bcd->toString();
      else if (const auto *stamp = std::get_if<Timestamp>(&value))
        (void)stamp->toString();
      else if (const auto *date = std::get_if<Date>(&value))
        (void)date->toString();
    }
    if (cursor.recordNumber() == count) break;
  }
  if (count == 0) return;
  (void)cursor.moveTo(count / 2 + 1);
  (void)cursor.moveBy(-3);
  (void)cursor.last();
  (void)cursor.prior();
  // A range on the current record's first key value (only when the order has a key).
  const Value first = cursor.value(0);
  if (!std::holds_alternative<Blob>(first)) (void)cursor.setRange(first, first);
  (void)cursor.first();
  cursor.clearRange();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  MemoryFileSystem fs;
  loadFamily(fs, data, size);
  OpenOptions options;
  options.fileSystem = &fs;
  options.access = AccessMode::kReadOnly;
  options.passwords = {"123", "Tavirek4806"};
  options.cacheBlocks = 4;
  auto table = Table::open("/f", "t.db", options);
  if (!table) return 0;
  if (auto cursor = (*table)->openCursor(); cursor) readAll(**cursor, **table);
  std::vector<std::string> names;
  for (const auto &index : (*table)->indexes())
    names.push_back(index.name);
  for (const auto &name : names)
    if (auto cursor = (*table)->openCursor(name); cursor) readAll(**cursor, **table);
  return 0;
}
