// Writes the seed corpus of paradox_fuzz: a few small table families made by our own writer
// (keyed with a named composite index and memos, encrypted, unkeyed with every field type).
//   make_paradox_corpus OUTPUT_DIR
#include "fuzz/paradox_fuzz_input.h"
#include "paradox/create.h"

#include <cstdio>
#include <fstream>
#include <iostream>

using namespace velanta::paradox;

namespace {

bool writeSeed(MemoryFileSystem &fs, const std::string &stem, const std::string &output) {
  std::ofstream out(output, std::ios::binary);
  for (std::size_t kind = 0; kind < velanta::fuzz::kFamilyExtensions.size(); ++kind) {
    const auto bytes =
        fs.contents("/s/" + stem + "." + std::string(velanta::fuzz::kFamilyExtensions[kind]));
    if (bytes.empty()) continue;
    const auto length = static_cast<std::uint32_t>(bytes.size());
    out.put(static_cast<char>(kind));
    out.write(reinterpret_cast<const char *>(&length), 4);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  return static_cast<bool>(out);
}

Status makeCatalogue(MemoryFileSystem &fs, const std::string &stem, const std::string &password,
                     int records) {
  TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {"Tip", FieldType::kAlpha, 12},
                       {"Name", FieldType::kAlpha, 20},
                       {"Text", FieldType::kMemo, 14}};
  definition.keyFields = 1;
  definition.indexes = {{"TipGlavno", {"Tip", "Name"}, false}};
  definition.password = password;
  definition.blockSizeKb = 1;
  auto builder = TableBuilder::make(definition);
  if (!builder) return builder.takeStatus();
  const char *kinds[] = {"\xc4\xee\xe3\xee\xe2\xee\xf0", "\xc0\xea\xf2", "Zakaz"};
  for (int i = 0; i < records; ++i) {
    RecordValues record = builder->newRecord();
    (void)record.setText("Tip", kinds[i % 3]);
    (void)record.setText("Name", "N" + std::to_string(records - i));
    (void)record.setText("Text",
                         std::string(static_cast<std::size_t>(i % 7 == 3 ? 2100 : i * 13), 'x'));
    if (auto status = builder->append(record); !status) return status;
  }
  return builder->write("/s/" + stem + ".DB", fs);
}

Status makeEveryType(MemoryFileSystem &fs, const std::string &stem) {
  TableSpec definition;
  definition.fields = {{"A", FieldType::kAlpha, 8},   {"S", FieldType::kShort, 0},
                       {"I", FieldType::kLong, 0},    {"N", FieldType::kNumber, 0},
                       {"M", FieldType::kMoney, 0},   {"D", FieldType::kDate, 0},
                       {"T", FieldType::kTime, 0},    {"TS", FieldType::kTimestamp, 0},
                       {"L", FieldType::kLogical, 0}, {"B", FieldType::kBcd, 2},
                       {"Y", FieldType::kBytes, 4},   {"G", FieldType::kGraphic, 10},
                       {"BL", FieldType::kBinary, 10}};
  definition.blockSizeKb = 1;
  auto builder = TableBuilder::make(definition);
  if (!builder) return builder.takeStatus();
  for (int i = 0; i < 12; ++i) {
    RecordValues record = builder->newRecord();
    (void)record.setText("A", "v" + std::to_string(i));
    (void)record.set("S", std::int32_t{i - 6});
    (void)record.set("I", std::int32_t{i * 1000 - 4000});
    (void)record.set("N", i * 1.5 - 3);
    (void)record.set("D", Date::fromYmd(2000 + i, 1 + i % 12, 1 + i));
    (void)record.setText("BL", std::string(static_cast<std::size_t>(i * 300), 'b'));
    if (auto status = builder->append(record); !status) return status;
  }
  return builder->write("/s/" + stem + ".DB", fs);
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::cerr << "usage: make_paradox_corpus OUTPUT_DIR\n";
    return 2;
  }
  const std::string dir = argv[1];
  MemoryFileSystem fs;
  struct Seed {
    std::string stem;
    Status status;
  };
  std::vector<Seed> seeds;
  seeds.push_back({"catalogue", makeCatalogue(fs, "catalogue", "", 30)});
  seeds.push_back({"encrypted", makeCatalogue(fs, "encrypted", "Tavirek4806", 12)});
  seeds.push_back({"empty", makeCatalogue(fs, "empty", "", 0)});
  seeds.push_back({"types", makeEveryType(fs, "types")});
  int rc = 0;
  for (const auto &seed : seeds) {
    if (!seed.status) {
      std::cerr << seed.stem << ": " << seed.status.toString() << "\n";
      rc = 2;
      continue;
    }
    if (!writeSeed(fs, seed.stem, dir + "/" + seed.stem + ".seed")) rc = 2;
  }
  return rc;
}
