#include "paradox/table_spec.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

namespace velanta::paradox {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// Bytes a field takes in the record, from its type and descriptor size byte.
int fieldWidth(FieldType type, int size) {
  switch (type) {
  case FieldType::kAlpha:
  case FieldType::kBytes:
  case FieldType::kMemo:
  case FieldType::kBinary:
  case FieldType::kFormattedMemo:
  case FieldType::kOle:
  case FieldType::kGraphic:
    return size;
  case FieldType::kDate:
  case FieldType::kLong:
  case FieldType::kTime:
  case FieldType::kAutoIncrement:
    return 4;
  case FieldType::kShort:
    return 2;
  case FieldType::kMoney:
  case FieldType::kNumber:
  case FieldType::kTimestamp:
    return 8;
  case FieldType::kLogical:
    return 1;
  case FieldType::kBcd:
    return 17;
  }
  return 0;
}

bool knownType(FieldType type) {
  switch (type) {
  case FieldType::kAlpha:
  case FieldType::kDate:
  case FieldType::kShort:
  case FieldType::kLong:
  case FieldType::kMoney:
  case FieldType::kNumber:
  case FieldType::kLogical:
  case FieldType::kMemo:
  case FieldType::kBinary:
  case FieldType::kFormattedMemo:
  case FieldType::kOle:
  case FieldType::kGraphic:
  case FieldType::kTime:
  case FieldType::kTimestamp:
  case FieldType::kAutoIncrement:
  case FieldType::kBcd:
  case FieldType::kBytes:
    return true;
  }
  return false;
}

// Default descriptor size byte where the caller left it 0.
int defaultSize(FieldType type) {
  switch (type) {
  case FieldType::kMemo:
  case FieldType::kFormattedMemo:
    return 11;
  case FieldType::kBinary:
  case FieldType::kOle:
  case FieldType::kGraphic:
    return 10;
  case FieldType::kBcd:
    return 2;
  default:
    return fieldWidth(type, 0);
  }
}

bool sizeValidStrict(FieldType type, int size) {
  switch (type) {
  case FieldType::kAlpha:
  case FieldType::kBytes:
    return size >= 1 && size <= 255;
  case FieldType::kMemo:
  case FieldType::kFormattedMemo:
    return size >= 11 && size <= 250;
  case FieldType::kBinary:
  case FieldType::kOle:
  case FieldType::kGraphic:
    return size >= 10 && size <= 250;
  case FieldType::kBcd:
    return size >= 0 && size <= 32;
  default:
    return size == fieldWidth(type, 0);
  }
}

} // namespace

bool fieldSizeWritable(FieldType type, int size) {
  if (isBlobType(type))
    return size >= 10 && size <= 250; // some writers give memos a bare 10-byte trailer
  return knownType(type) && sizeValidStrict(type, size);
}

std::uint8_t sortOrderByte(const std::string &id) {
  static const std::pair<const char *, std::uint8_t> known[] = {
      {"ascii", 0x00},    {"intl", 0xB7},    {"intl850", 0x54},  {"nordan", 0x82},
      {"nordan40", 0xE6}, {"swedfin", 0xF0}, {"cyrr", 0xC0},     {"ANSIINTL", 0x62},
      {"ANSII850", 0x11}, {"ancyrr", 0x8F},  {"DBWINUS0", 0x4C}, {"DBWINWE0", 0x40},
      {"china", 0x03},    {"BLROM800", 0x14}};
  for (const auto &[name, byte] : known)
    if (equalNoCase(name, id)) return byte;
  return 0;
}

int TableLayout::fieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (equalNoCase(fields[i].name, name)) return static_cast<int>(i);
  return -1;
}

bool TableLayout::hasBlobs() const {
  return std::any_of(fields.begin(), fields.end(),
                     [](const Field &f) { return isBlobType(f.type); });
}

std::shared_ptr<const TableLayout> makeLayout(const TableSpec &definition, std::string *error) {
  auto fail = [&](std::string text) {
    if (error) *error = std::move(text);
    return std::shared_ptr<const TableLayout>();
  };
  auto layout = std::make_shared<TableLayout>();
  if (definition.fields.empty()) return fail("a table needs at least one field");
  if (definition.keyFields < 0 || definition.keyFields > static_cast<int>(definition.fields.size()))
    return fail("the primary key has more fields than the table");
  const int kb = definition.blockSizeKb;
  if (kb != 1 && kb != 2 && kb != 4 && kb != 8 && kb != 16 && kb != 32)
    return fail("block size must be 1, 2, 4, 8, 16 or 32 KB");
  layout->blockSize = kb * 1024;
  std::set<std::string> names;
  int offset = 0;
  for (const FieldSpec &f : definition.fields) {
    if (f.name.empty() || f.name.size() > 25)
      return fail("field name '" + f.name + "' must have 1 to 25 characters");
    std::string lower = f.name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!names.insert(lower).second) return fail("field name '" + f.name + "' is used twice");
    if (!knownType(f.type)) return fail("field '" + f.name + "' has an unknown type");
    const int size = f.size == 0 ? defaultSize(f.type) : f.size;
    if (!sizeValidStrict(f.type, size)) return fail("field '" + f.name + "' has an invalid size");
    Field fl{f.name, f.type, size, offset, fieldWidth(f.type, size)};
    offset += fl.width;
    layout->fields.push_back(fl);
  }
  layout->recordSize = offset;
  if (layout->recordSize > layout->blockSize - 6)
    return fail("records do not fit in a block; choose a larger block size");
  layout->keyFields = definition.keyFields;
  for (int i = 0; i < definition.keyFields; ++i) {
    const Field &f = layout->fields[static_cast<std::size_t>(i)];
    if (isBlobType(f.type)) return fail("blob field '" + f.name + "' cannot be a key field");
    layout->keyParts.push_back({f.offset, f.width, f.type == FieldType::kAlpha, false, false});
    layout->keySize += f.width;
  }
  if (layout->keySize * 3 > layout->blockSize)
    return fail("the primary key is longer than a third of a block");
  layout->codePage = definition.codePage;
  layout->sortOrder = definition.sortOrder;
  layout->order = KeyOrder(definition.sortOrder);
  if (!definition.indexes.empty() && definition.keyFields == 0)
    return fail("maintained secondary indexes need a primary key");
  int xg = 0;
  for (const IndexSpec &is : definition.indexes) {
    IndexLayout il;
    il.name = is.name;
    il.caseInsensitive = is.caseInsensitive;
    if (is.name.empty() || is.fields.empty())
      return fail("an index needs a name and at least one field");
    for (const std::string &name : is.fields) {
      const int pos = layout->fieldIndex(name);
      if (pos < 0) return fail("index '" + is.name + "' names the unknown field '" + name + "'");
      if (isBlobType(layout->fields[static_cast<std::size_t>(pos)].type))
        return fail("index '" + is.name + "' cannot hold blob field '" + name + "'");
      il.fields.push_back(pos);
    }
    // An ascending, case-sensitive index on one field named after it is an .Xnn pair.
    il.composite =
        !(il.fields.size() == 1 && !is.caseInsensitive &&
          equalNoCase(is.name, layout->fields[static_cast<std::size_t>(il.fields[0])].name));
    il.number = il.composite ? xg++ : il.fields[0] + 1;
    int at = 0;
    for (int pos : il.fields) {
      const Field &f = layout->fields[static_cast<std::size_t>(pos)];
      il.keyParts.push_back({at, f.width, f.type == FieldType::kAlpha, false, is.caseInsensitive});
      at += f.width;
    }
    for (const KeyPart &kp : layout->keyParts) {
      KeyPart copy = kp;
      copy.offset = at + kp.offset;
      il.keyParts.push_back(copy);
    }
    il.sortKeySize = at + layout->keySize;
    il.recordSize = il.sortKeySize + 2;
    if (il.sortKeySize * 3 > layout->blockSize)
      return fail("index '" + is.name + "' has a key longer than a third of a block");
    layout->indexes.push_back(il);
  }
  return layout;
}

std::vector<std::uint8_t> indexRecord(const TableLayout &table, const IndexLayout &index,
                                      const std::uint8_t *record, int blockNumber) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(index.recordSize));
  std::size_t at = 0;
  for (int pos : index.fields) {
    const Field &f = table.fields[static_cast<std::size_t>(pos)];
    std::memcpy(out.data() + at, record + f.offset, static_cast<std::size_t>(f.width));
    at += static_cast<std::size_t>(f.width);
  }
  std::memcpy(out.data() + at, record, static_cast<std::size_t>(table.keySize));
  at += static_cast<std::size_t>(table.keySize);
  const auto stored = static_cast<std::uint16_t>(blockNumber ^ 0x8000);
  out[at] = static_cast<std::uint8_t>(stored >> 8);
  out[at + 1] = static_cast<std::uint8_t>(stored & 0xFF);
  return out;
}

} // namespace velanta::paradox
