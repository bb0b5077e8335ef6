#include "paradox/header_builder.h"

#include "paradox/bytes.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>

namespace velanta::paradox {
namespace {

constexpr int kHeaderSize = 0x800;
constexpr int kTableNameLength = 261; // level 7
constexpr std::uint16_t kLevel7Word = 0x010C;

void putName(std::vector<std::uint8_t> &h, std::size_t &at, const std::string &name) {
  std::memcpy(h.data() + at, name.data(), name.size());
  at += name.size() + 1;
}

// The DOS-packed local time the original engine stamps into 0x60.
std::uint32_t packedNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  const std::uint32_t date =
      static_cast<std::uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  const std::uint32_t time =
      static_cast<std::uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  return (date << 16) | time;
}

// The layout shared by .DB and .Xnn/.XGn headers: fixed zone, data header, variable zone.
struct DataHeaderInput {
  std::uint8_t fileType = 0;
  int recordSize = 0;
  int blockSize = 2048;
  int keyFields = 0;
  std::vector<Field> fields;
  std::vector<std::uint16_t> fieldNumbers;
  std::uint8_t sortByte = 0;
  std::string sortId;
  int codePage = 1251;
  std::uint32_t checkValue = 0;
  std::string tableName;
  std::string indexName; // XG only
  std::uint8_t sequence = 1;
  std::uint8_t changeCount2 = 1;
  std::uint8_t firstIndexedField = 0;
  std::uint8_t indexFlags = 0;
  bool indexFile = false;
};

std::vector<std::uint8_t> buildDataHeader(const DataHeaderInput &in) {
  using namespace bytes;
  std::vector<std::uint8_t> h(kHeaderSize, 0);
  putU16le(&h[0x00], static_cast<std::uint16_t>(in.recordSize));
  putU16le(&h[0x02], kHeaderSize);
  h[0x04] = in.fileType;
  h[0x05] = static_cast<std::uint8_t>(in.blockSize / 1024);
  h[0x12] = in.sequence;
  h[0x15] = in.firstIndexedField;
  putU16le(&h[0x21], static_cast<std::uint16_t>(in.fields.size()));
  putU16le(&h[0x23], static_cast<std::uint16_t>(in.keyFields));
  putU32le(&h[0x25], 0xFF00FF00u);
  h[0x29] = in.sortByte;
  h[0x2C] = in.indexFile ? 0xFF : 0x00;
  h[0x2D] = 1;
  h[0x2E] = in.changeCount2;
  h[0x39] = 12;
  if (in.checkValue == 0) {
    h[0x3E] = 0x1F;
    h[0x3F] = 0x0F;
  } else {
    // Encrypted tables carry run-time pointers here; any non-zero value does.
    putU32le(&h[0x40], 0x0B5C0000u);
    putU32le(&h[0x44], 0x0B5C0100u);
  }
  h[0x55] = in.indexFlags;
  h[0x56] = 0x20;
  putU16le(&h[0x58], kLevel7Word);
  putU16le(&h[0x5A], kLevel7Word);
  putU32le(&h[0x5C], in.checkValue);
  putU32le(&h[0x60], packedNow());
  std::uint16_t highest = 0;
  for (std::uint16_t n : in.fieldNumbers)
    highest = std::max<std::uint16_t>(highest, n & 0x7FFF);
  putU16le(&h[0x64], static_cast<std::uint16_t>(highest + 1));
  putU16le(&h[0x6A], static_cast<std::uint16_t>(in.codePage));
  h[0x6C] = 1;
  h[0x6D] = 1;

  std::size_t at = 0x78;
  for (const Field &f : in.fields) {
    h[at++] = static_cast<std::uint8_t>(f.type);
    h[at++] = static_cast<std::uint8_t>(f.size);
  }
  at += 4;                    // table-name pointer (run time)
  at += 4 * in.fields.size(); // field-name pointers (run time)
  std::memcpy(h.data() + at, in.tableName.data(),
              std::min<std::size_t>(in.tableName.size(), kTableNameLength - 1));
  at += kTableNameLength;
  for (const Field &f : in.fields)
    putName(h, at, f.name);
  putU16le(&h[0x66], static_cast<std::uint16_t>(at - 0x58));
  for (std::uint16_t n : in.fieldNumbers) {
    putU16le(&h[at], n);
    at += 2;
  }
  putU16le(&h[0x6E], static_cast<std::uint16_t>(at - 0x58));
  putName(h, at, in.sortId);
  if (!in.indexName.empty()) {
    putU16le(&h[0x68], static_cast<std::uint16_t>(at - 0x58));
    putName(h, at, in.indexName);
  }
  putU16le(&h[0x51], static_cast<std::uint16_t>(at));
  return h;
}

} // namespace

BlockCounters readCounters(const std::uint8_t *h, bool tree) {
  using namespace bytes;
  BlockCounters c;
  c.records = getU32le(h + 0x06);
  c.usedBlocks = getU16le(h + 0x0A);
  c.fileBlocks = getU16le(h + 0x0C);
  c.firstBlock = getU16le(h + 0x0E);
  c.lastBlock = getU16le(h + 0x10);
  c.firstFreeBlock = getU16le(h + 0x4D);
  if (tree) {
    c.rootBlock = getU16le(h + 0x1E);
    c.levels = h[0x20];
  }
  return c;
}

void writeCounters(std::uint8_t *h, const BlockCounters &c, bool tree) {
  using namespace bytes;
  putU32le(h + 0x06, c.records);
  putU16le(h + 0x0A, c.usedBlocks);
  putU16le(h + 0x0C, c.fileBlocks);
  putU16le(h + 0x0E, c.firstBlock);
  putU16le(h + 0x10, c.lastBlock);
  putU16le(h + 0x3A, c.fileBlocks);
  putU16le(h + 0x4D, c.firstFreeBlock);
  if (tree) {
    putU16le(h + 0x1E, c.rootBlock);
    h[0x20] = c.levels;
  }
}

std::uint8_t treeStamp(std::uint8_t parentChangeCount, std::uint8_t sortOrder) {
  unsigned sum = parentChangeCount;
  auto add = [&sum](unsigned v) {
    sum += v;
    if (sum > 255) sum = sum - 256 + 1; // one's-complement end-around carry
  };
  add(sortOrder);
  add(sortOrder != 0 ? 2 : 0);
  return static_cast<std::uint8_t>(sum);
}

std::vector<Field> primaryKeyFields(const TableLayout &table) {
  return {table.fields.begin(), table.fields.begin() + table.keyFields};
}

std::vector<Field> indexRecordFields(const TableLayout &table, const IndexLayout &index) {
  std::vector<Field> out;
  int at = 0;
  auto add = [&](Field f) {
    f.offset = at;
    at += f.width;
    out.push_back(std::move(f));
  };
  for (int pos : index.fields)
    add(table.fields[static_cast<std::size_t>(pos)]);
  for (int i = 0; i < table.keyFields; ++i)
    add(table.fields[static_cast<std::size_t>(i)]);
  add(Field{"Blk Num", FieldType::kShort, 2, 0, 2});
  return out;
}

std::vector<std::uint8_t> buildTableHeader(const TableLayout &table, const std::string &tableName) {
  DataHeaderInput in;
  in.fileType = table.keyed() ? 0 : 2;
  in.recordSize = table.recordSize;
  in.blockSize = table.blockSize;
  in.keyFields = table.keyFields;
  in.fields = table.fields;
  for (std::size_t i = 0; i < table.fields.size(); ++i)
    in.fieldNumbers.push_back(static_cast<std::uint16_t>(i + 1));
  in.sortByte = sortOrderByte(table.sortOrder);
  in.sortId = table.sortOrder;
  in.codePage = table.codePage;
  in.checkValue = table.checkValue;
  in.tableName = tableName;
  return buildDataHeader(in);
}

std::vector<std::uint8_t> buildIndexHeader(const TableLayout &table, const IndexLayout &index,
                                           const std::string &tableName,
                                           const std::vector<std::uint8_t> &tableHeader) {
  DataHeaderInput in;
  in.fileType = index.composite ? 8 : 5;
  in.recordSize = index.recordSize;
  in.blockSize = table.blockSize;
  in.fields = indexRecordFields(table, index);
  in.keyFields = static_cast<int>(in.fields.size()) - 1;
  const auto m = index.fields.size();
  for (int pos : index.fields)
    in.fieldNumbers.push_back(static_cast<std::uint16_t>(pos + 1));
  for (std::size_t i = m + 1; i <= in.fields.size(); ++i)
    in.fieldNumbers.push_back(static_cast<std::uint16_t>(i));
  in.sortByte = sortOrderByte(table.sortOrder);
  in.sortId = table.sortOrder;
  in.codePage = table.codePage;
  in.tableName = tableName;
  if (index.composite) in.indexName = index.name;
  in.sequence = static_cast<std::uint8_t>(tableHeader[0x12] + 1);
  in.changeCount2 = tableHeader[0x2E];
  in.firstIndexedField = static_cast<std::uint8_t>(index.fields[0] + 1);
  in.indexFlags = index.caseInsensitive ? 0x01 : 0x00;
  in.indexFile = true;
  return buildDataHeader(in);
}

std::vector<std::uint8_t> buildTreeHeader(const std::vector<Field> &keyFields, int blockSize,
                                          const std::string &tableName,
                                          const std::vector<std::uint8_t> &parent) {
  using namespace bytes;
  std::vector<std::uint8_t> h(kHeaderSize, 0);
  int keyBytes = 0;
  for (const Field &f : keyFields)
    keyBytes += f.width;
  putU16le(&h[0x00], static_cast<std::uint16_t>(keyBytes + 6));
  putU16le(&h[0x02], kHeaderSize);
  h[0x04] = parent[0x04] == 0 ? 1 : (parent[0x04] == 5 ? 4 : 7);
  h[0x05] = static_cast<std::uint8_t>(blockSize / 1024);
  h[0x12] = static_cast<std::uint8_t>(parent[0x12] + 1);
  putU16le(&h[0x1E], 1);
  putU16le(&h[0x21], static_cast<std::uint16_t>(keyFields.size()));
  h[0x29] = parent[0x29];
  h[0x2C] = treeStamp(parent[0x2D], parent[0x29]);
  h[0x2D] = 1;
  h[0x2E] = parent[0x2E];
  h[0x39] = parent[0x39];
  putU32le(&h[0x49], 1);
  std::size_t at = 0x58;
  for (const Field &f : keyFields) {
    h[at++] = static_cast<std::uint8_t>(f.type);
    h[at++] = static_cast<std::uint8_t>(f.size);
  }
  at += 4;
  std::memcpy(h.data() + at, tableName.data(),
              std::min<std::size_t>(tableName.size(), kTableNameLength - 1));
  at += kTableNameLength;
  putU16le(&h[0x51], static_cast<std::uint16_t>(at));
  return h;
}

std::string siblingPath(const std::string &dbPath, const std::string &upperExtension) {
  const auto slash = dbPath.find_last_of('/');
  const auto dot = dbPath.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExtension ? dbPath.substr(0, dot) : dbPath;
  bool lower = false;
  if (hasExtension)
    for (std::size_t i = dot + 1; i < dbPath.size(); ++i)
      lower = lower || std::islower(static_cast<unsigned char>(dbPath[i]));
  std::string ext = upperExtension;
  if (lower)
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return stem + "." + ext;
}

static std::string twoDigits(int n) {
  return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

std::string indexDataExtension(const IndexLayout &index) {
  return index.composite ? "XG" + std::to_string(index.number) : "X" + twoDigits(index.number);
}

std::string indexTreeExtension(const IndexLayout &index) {
  return index.composite ? "YG" + std::to_string(index.number) : "Y" + twoDigits(index.number);
}

} // namespace velanta::paradox
