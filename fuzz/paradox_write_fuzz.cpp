// Opens a table family made of the fuzzer's bytes for writing and, when the writer accepts it,
// edits, inserts and deletes a record, then checks the family. Every failure must be a Status
// (never a crash, hang or unbounded allocation), and nothing may be written outside the
// table's own files (the journal excepted, which must be gone afterwards).
#include "fuzz/paradox_fuzz_input.h"
#include "paradox/block_file.h"
#include "paradox/bytes.h"
#include "paradox/page_overlay.h"
#include "paradox/table_check.h"
#include "paradox/table_writer.h"

#include <cctype>
#include <cstring>

using namespace velanta::paradox;
using velanta::fuzz::loadFamily;

namespace {

// The first record of the chain, as the writer names records.
std::vector<std::uint8_t> firstRecord(MemoryFileSystem &fs, const TableWriter &writer) {
  auto file = fs.open(writer.dbPath(), OpenMode::kReadOnly);
  if (!file) return {};
  auto view = PageOverlay::over(**file);
  if (!view) return {};
  BlockFile blocks(**view, writer.dbPath());
  if (!blocks.load() || blocks.counters.firstBlock == 0) return {};
  auto block = blocks.readBlock(blocks.counters.firstBlock);
  if (!block || blockRecordCount(block->data(), blocks.recordSize(), blocks.blockSize()) == 0)
    return {};
  return {recordAt(*block, 0, blocks.recordSize()), recordAt(*block, 1, blocks.recordSize())};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  MemoryFileSystem fs;
  loadFamily(fs, data, size);
  WriterOptions options;
  options.fileSystem = &fs;
  options.passwords = {"123", "Tavirek4806"};
  auto writer = TableWriter::open("/f", "t.db", options);
  if (writer) {
    TableWriter &w = **writer;
    const auto record = firstRecord(fs, w);
    if (!record.empty()) {
      RecordValues edit = w.editRecord(record);
      for (const Field &f : w.layout().fields) {
        if (f.type == FieldType::kAlpha)
          (void)edit.setText(f.name, "x");
        else if (isBlobType(f.type))
          (void)edit.setText(f.name, std::string(3000, 'b'));
      }
      auto updated = w.update(record, edit);
      if (updated) {
        RecordValues copy = w.editRecord(*updated);
        (void)w.insert(copy);
        (void)w.remove(*updated);
      }
    }
    (void)checkTable(fs, "/f", "t.db", options.passwords);
  }
  // Only the family's own files may exist now.
  if (auto names = fs.list("/f"))
    for (const std::string &name : *names)
      if (name.size() < 2 || std::toupper(static_cast<unsigned char>(name[0])) != 'T' ||
          name[1] != '.' || name.find("journal") != std::string::npos)
        __builtin_trap();
  return 0;
}
