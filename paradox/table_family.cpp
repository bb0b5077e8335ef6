#include "paradox/table_family.h"

#include "paradox/crypto.h"

#include <algorithm>
#include <cctype>

namespace velanta::paradox {
namespace {

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// Drivers whose text order we reproduce: byte order (the ascii family) and ancyrr.
bool textOrderKnown(const std::string &sortId) {
  const std::string id = upper(sortId);
  return id.empty() || id == "ASCII" || id == "DBWINUS0" || id == "ANCYRR";
}

Status notSupported(const std::string &file, const std::string &why) {
  return Status(ErrorCode::kNotSupported, std::string(defaultMessage(ErrorCode::kNotSupported)),
                {file, why});
}

} // namespace

Result<Header> readFileHeader(File &file) {
  std::vector<std::uint8_t> head(kMinimumHeaderBytes);
  std::size_t got = 0;
  if (Status s = file.read(0, head, &got); !s) return s;
  head.resize(got);
  const std::uint16_t size = peekHeaderSize(head);
  std::vector<std::uint8_t> all(std::max<std::size_t>(size, kMinimumHeaderBytes));
  if (Status s = file.read(0, all, &got); !s) return s;
  all.resize(got);
  return parseHeader(all, file.path());
}

Result<TableFamily> describeFamily(FileSystem &fs, const std::string &directory,
                                   const std::string &name,
                                   const std::vector<std::string> &passwords) {
  auto names = fs.list(directory.empty() ? "." : directory);
  if (!names) return names.takeStatus();
  auto findName = [&](const std::string &wanted) -> std::string {
    for (const std::string &n : *names)
      if (upper(n) == upper(wanted)) return n;
    return {};
  };
  TableFamily family;
  family.directory = directory;
  const std::string dbName = findName(name);
  if (dbName.empty()) return Status::error(ErrorCode::kNoSuchTable, {joinPath(directory, name)});
  family.dbPath = joinPath(directory, dbName);
  auto db = fs.open(family.dbPath, OpenMode::kReadOnly);
  if (!db) return db.takeStatus();
  auto header = readFileHeader(**db);
  if (!header) return header.takeStatus();
  family.dbHeader = *header;
  const Header &h = family.dbHeader;
  if (!h.isTable()) return Status::error(ErrorCode::kHeaderCorrupt, {family.dbPath});
  if (h.modifiedFlags1 != 0 || h.modifiedFlags2 != 0)
    family.problems.push_back("таблица помечена как требующая перестройки");

  auto layout = std::make_shared<TableLayout>();
  int offset = 0;
  for (std::size_t i = 0; i < h.descriptors.size(); ++i) {
    if (!isKnownFieldType(h.descriptors[i].type))
      return notSupported(family.dbPath, "неизвестный тип поля");
    if (!fieldSizeWritable(static_cast<FieldType>(h.descriptors[i].type), h.descriptors[i].size))
      return notSupported(family.dbPath,
                          "поле " + std::to_string(i + 1) + " неподходящего размера");
    Field f;
    f.name = i < h.fieldNames.size() ? h.fieldNames[i] : "Field" + std::to_string(i + 1);
    f.type = static_cast<FieldType>(h.descriptors[i].type);
    f.size = h.descriptors[i].size;
    f.offset = offset;
    f.width = storedFieldSize(f.type, f.size);
    offset += f.width;
    layout->fields.push_back(f);
  }
  if (offset != h.recordSize) return Status::error(ErrorCode::kHeaderCorrupt, {family.dbPath});
  layout->recordSize = h.recordSize;
  layout->keyFields = h.isKeyed() ? h.numKeyFields : 0;
  if (layout->keyFields < 0 || layout->keyFields > static_cast<int>(layout->fields.size()))
    return Status::error(ErrorCode::kHeaderCorrupt, {family.dbPath});
  bool alphaKeys = false;
  for (int i = 0; i < layout->keyFields; ++i) {
    const Field &f = layout->fields[static_cast<std::size_t>(i)];
    layout->keyParts.push_back({f.offset, f.width, f.type == FieldType::kAlpha, false, false});
    layout->keySize += f.width;
    alphaKeys = alphaKeys || f.type == FieldType::kAlpha;
  }
  layout->codePage = h.codePage;
  layout->sortOrder = h.sortOrderId;
  layout->order = KeyOrder(h.sortOrderId);
  layout->blockSize = h.blockSize();
  layout->checkValue = h.checkValue();
  if (layout->checkValue != 0 &&
      std::none_of(passwords.begin(), passwords.end(), [&](const std::string &p) {
        return passwordCheckValue(p) == layout->checkValue;
      }))
    return Status::error(ErrorCode::kInsufficientTableRights, {family.dbPath});

  const std::string stem = dbName.substr(0, dbName.find_last_of('.'));
  if (layout->hasBlobs()) {
    const std::string mbName = findName(stem + ".MB");
    if (mbName.empty())
      family.problems.push_back("нет файла больших объектов " + stem + ".MB");
    else
      family.mbPath = joinPath(directory, mbName);
  }
  if (layout->keyed()) {
    const std::string pxName = findName(stem + ".PX");
    if (pxName.empty()) {
      family.problems.push_back("нет первичного индекса " + stem + ".PX");
    } else {
      family.pxPath = joinPath(directory, pxName);
      auto px = fs.open(family.pxPath, OpenMode::kReadOnly);
      if (!px) return px.takeStatus();
      auto pxHeader = readFileHeader(**px);
      if (!pxHeader)
        family.problems.push_back(pxName + ": " + pxHeader.status().message());
      else if (pxHeader->indexStamp != expectedIndexStamp(h))
        family.problems.push_back(pxName + ": метка не соответствует таблице");
    }
  }

  for (const std::string &n : *names) {
    const auto dot = n.find_last_of('.');
    if (dot == std::string::npos || upper(n.substr(0, dot)) != upper(stem)) continue;
    const std::string ext = upper(n.substr(dot + 1));
    if (ext.size() != 3 || ext[0] != 'X') continue;
    const bool composite = ext[1] == 'G';
    if (!(composite ? std::isdigit(static_cast<unsigned char>(ext[2])) != 0
                    : std::isxdigit(static_cast<unsigned char>(ext[1])) &&
                          std::isxdigit(static_cast<unsigned char>(ext[2]))))
      continue;
    FamilyIndex index;
    index.xPath = joinPath(directory, n);
    auto x = fs.open(index.xPath, OpenMode::kReadOnly);
    if (!x) return x.takeStatus();
    auto xHeader = readFileHeader(**x);
    if (!xHeader) {
      family.problems.push_back(n + ": " + xHeader.status().message());
      continue;
    }
    if (!xHeader->isMaintainedIndex())
      continue; // the original engine rebuilds non-maintained indexes when it uses them
    if (!layout->keyed()) {
      family.problems.push_back(n + ": поддерживаемый индекс у таблицы без ключа");
      continue;
    }
    std::string yExt = n.substr(dot + 1);
    yExt[0] = yExt[0] == 'x' ? 'y' : 'Y';
    const std::string yName = findName(n.substr(0, dot) + "." + yExt);
    if (yName.empty()) {
      family.problems.push_back(n + ": нет файла дерева индекса");
      continue;
    }
    index.yPath = joinPath(directory, yName);
    auto y = fs.open(index.yPath, OpenMode::kReadOnly);
    if (!y) return y.takeStatus();
    auto yHeader = readFileHeader(**y);
    if (!yHeader) {
      family.problems.push_back(yName + ": " + yHeader.status().message());
      continue;
    }
    if (yHeader->indexStamp != expectedIndexStamp(*xHeader))
      family.problems.push_back(yName + ": метка не соответствует индексу " + n);
    if (xHeader->numRecords != h.numRecords)
      family.problems.push_back(n + ": число записей индекса не совпадает с таблицей");
    IndexLayout &il = index.layout;
    il.composite = composite;
    il.number = composite ? ext[2] - '0' : std::stoi(ext.substr(1), nullptr, 16);
    il.caseInsensitive = (xHeader->indexFlags & 0x01) != 0;
    const int m = xHeader->numKeyFields - layout->keyFields;
    if (m <= 0 || static_cast<int>(xHeader->fieldNumbers.size()) < m) {
      family.problems.push_back(n + ": неизвестное строение индекса");
      continue;
    }
    int at = 0;
    bool sound = true;
    for (int k = 0; k < m; ++k) {
      const std::uint16_t number = xHeader->fieldNumbers[static_cast<std::size_t>(k)];
      const int position = (number & 0x7FFF) - 1;
      if (position < 0 || position >= static_cast<int>(layout->fields.size())) {
        sound = false;
        break;
      }
      const Field &f = layout->fields[static_cast<std::size_t>(position)];
      il.fields.push_back(position);
      il.keyParts.push_back(
          {at, f.width, f.type == FieldType::kAlpha, (number & 0x8000) != 0, il.caseInsensitive});
      alphaKeys = alphaKeys || f.type == FieldType::kAlpha;
      at += f.width;
    }
    for (const KeyPart &kp : layout->keyParts) {
      KeyPart copy = kp;
      copy.offset = at + kp.offset;
      il.keyParts.push_back(copy);
    }
    il.sortKeySize = at + layout->keySize;
    il.recordSize = il.sortKeySize + 2;
    if (!sound || il.recordSize != xHeader->recordSize) {
      family.problems.push_back(n + ": неизвестное строение индекса");
      continue;
    }
    il.name = composite ? xHeader->indexName
                        : layout->fields[static_cast<std::size_t>(il.fields[0])].name;
    layout->indexes.push_back(il);
    family.indexes.push_back(std::move(index));
  }
  if (alphaKeys && !textOrderKnown(h.sortOrderId))
    family.limitations.push_back("порядок сортировки " + h.sortOrderId +
                                 " не воспроизводится при изменении ключей");
  family.layout = layout;
  return family;
}

} // namespace velanta::paradox
