#include "paradox/create.h"

#include "paradox/bytes.h"
#include "paradox/crypto.h"
#include "paradox/header_builder.h"
#include "paradox/tree_builder.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <numeric>

namespace velanta::paradox {
namespace {

std::string baseName(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// Whether `name` is a companion file (index, blob file) of the table with stem `stem`.
bool isCompanion(const std::string &name, const std::string &stem) {
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos || upper(name.substr(0, dot)) != upper(stem)) return false;
  const std::string ext = upper(name.substr(dot + 1));
  if (ext == "PX" || ext == "MB") return true;
  if (ext.size() == 3 && (ext[0] == 'X' || ext[0] == 'Y'))
    return (ext[1] == 'G' && std::isdigit(static_cast<unsigned char>(ext[2]))) ||
           (std::isxdigit(static_cast<unsigned char>(ext[1])) &&
            std::isxdigit(static_cast<unsigned char>(ext[2])));
  return false;
}

// A file image: header followed by plain blocks; data blocks enciphered when asked.
struct FileImage {
  std::vector<std::uint8_t> header;
  std::vector<std::vector<std::uint8_t>> blocks;
};

// Packs sorted fixed-size records into full blocks chained 1 -> 2 -> ... and returns the
// block number of every record.
std::vector<std::uint16_t> packRecords(const std::vector<std::uint8_t> &records, int recordSize,
                                       int blockSize, FileImage &image, BlockCounters &counters) {
  const std::size_t count = records.size() / static_cast<std::size_t>(recordSize);
  const auto capacity = static_cast<std::size_t>((blockSize - 6) / recordSize);
  std::vector<std::uint16_t> where(count);
  const std::size_t blocks = (count + capacity - 1) / capacity;
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::size_t first = b * capacity;
    const std::size_t n = std::min(capacity, count - first);
    const auto number = static_cast<std::uint16_t>(b + 1);
    image.blocks.push_back(
        makeDataBlock(blockSize, b + 1 < blocks ? static_cast<std::uint16_t>(number + 1) : 0,
                      static_cast<std::uint16_t>(b),
                      records.data() + first * static_cast<std::size_t>(recordSize),
                      static_cast<int>(n), recordSize));
    std::fill(where.begin() + static_cast<std::ptrdiff_t>(first),
              where.begin() + static_cast<std::ptrdiff_t>(first + n), number);
  }
  counters.records = static_cast<std::uint32_t>(count);
  counters.usedBlocks = counters.fileBlocks = static_cast<std::uint16_t>(blocks);
  counters.firstBlock = blocks ? 1 : 0;
  counters.lastBlock = static_cast<std::uint16_t>(blocks);
  return where;
}

std::vector<TreeEntry> level1Of(const FileImage &image, int recordSize, int keySize,
                                int blockSize) {
  std::vector<TreeEntry> entries;
  for (std::size_t b = 0; b < image.blocks.size(); ++b) {
    const auto &block = image.blocks[b];
    entries.push_back(
        {std::vector<std::uint8_t>(block.begin() + 6, block.begin() + 6 + keySize),
         static_cast<std::uint16_t>(b + 1),
         static_cast<std::uint32_t>(blockRecordCount(block.data(), recordSize, blockSize))});
  }
  return entries;
}

FileImage treeImage(const std::vector<TreeEntry> &level1, const std::vector<Field> &keyFields,
                    int keySize, int blockSize, const std::string &tableName,
                    const std::vector<std::uint8_t> &parentHeader) {
  TreeImage tree = buildTree(level1, keySize, blockSize);
  FileImage image{buildTreeHeader(keyFields, blockSize, tableName, parentHeader),
                  std::move(tree.blocks)};
  writeCounters(image.header.data(), tree.counters, true);
  return image;
}

// Sorts fixed-size records by the given key order; returns false on a duplicate key.
bool sortRecords(std::vector<std::uint8_t> &records, int recordSize, const KeyOrder &order,
                 const std::vector<KeyPart> &parts) {
  const std::size_t n = records.size() / static_cast<std::size_t>(recordSize);
  std::vector<std::size_t> perm(n);
  std::iota(perm.begin(), perm.end(), 0);
  auto at = [&](std::size_t i) {
    return std::span<const std::uint8_t>(records.data() + i * static_cast<std::size_t>(recordSize),
                                         static_cast<std::size_t>(recordSize));
  };
  std::stable_sort(perm.begin(), perm.end(), [&](std::size_t a, std::size_t b) {
    return order.compare(at(a), at(b), parts) < 0;
  });
  for (std::size_t i = 1; i < n; ++i)
    if (order.compare(at(perm[i - 1]), at(perm[i]), parts) == 0) return false;
  std::vector<std::uint8_t> sorted(records.size());
  for (std::size_t i = 0; i < n; ++i)
    std::memcpy(sorted.data() + i * static_cast<std::size_t>(recordSize), at(perm[i]).data(),
                static_cast<std::size_t>(recordSize));
  records.swap(sorted);
  return true;
}

Status writeImage(FileSystem &fs, const std::string &path, const FileImage &image) {
  auto file = fs.open(path, OpenMode::kCreate);
  if (!file) return file.takeStatus();
  if (Status s = (*file)->truncate(0); !s) return s;
  if (Status s = (*file)->write(0, image.header); !s) return s;
  std::uint64_t at = image.header.size();
  for (const auto &block : image.blocks) {
    if (Status s = (*file)->write(at, block); !s) return s;
    at += block.size();
  }
  return (*file)->sync();
}

} // namespace

TableBuilder::TableBuilder(std::shared_ptr<const TableLayout> layout)
    : layout_(std::move(layout)), mb_(std::make_unique<MemoryStore>()),
      blobs_(std::make_unique<BlobWriter>(*mb_)) {
  mb_->bytes = BlobWriter::newHeaderBlock();
}

Result<TableBuilder> TableBuilder::make(const TableSpec &definition) {
  std::string error;
  auto layout = makeLayout(definition, &error);
  if (!layout)
    return Status(ErrorCode::kInvalidArgument, "Неверное описание таблицы: " + error + ".");
  auto mutableLayout = std::make_shared<TableLayout>(*layout);
  mutableLayout->checkValue = passwordCheckValue(definition.password);
  return TableBuilder(std::move(mutableLayout));
}

Status TableBuilder::append(const RecordValues &record) {
  std::vector<std::uint8_t> stored = record.stored();
  for (std::size_t i = 0; i < layout_->fields.size(); ++i) {
    const Field &f = layout_->fields[i];
    std::uint8_t *p = stored.data() + f.offset;
    if (f.type == FieldType::kAutoIncrement) {
      if (std::all_of(p, p + 4, [](std::uint8_t b) { return b == 0; }))
        bytes::putBe(p, (autoInc_ + 1) ^ 0x80000000u, 4);
      autoInc_ = std::max(autoInc_, static_cast<std::uint32_t>(bytes::getBe(p, 4) ^ 0x80000000u));
    } else if (isBlobType(f.type)) {
      const auto blob = record.newBlobs().find(static_cast<int>(i));
      const std::string_view value =
          blob == record.newBlobs().end() ? std::string_view() : std::string_view(blob->second);
      if (Status s = blobs_->store(f, value, p); !s) return s;
    }
  }
  records_.insert(records_.end(), stored.begin(), stored.end());
  ++count_;
  return {};
}

Status TableBuilder::write(const std::string &dbPath, FileSystem &fs) const {
  const TableLayout &t = *layout_;
  const std::string tableName = baseName(dbPath);
  std::vector<std::uint8_t> records = records_;
  if (t.keyed() && !sortRecords(records, t.recordSize, t.order, t.keyParts))
    return Status::error(ErrorCode::kKeyViolation, {dbPath});

  FileImage db{buildTableHeader(t, tableName), {}};
  BlockCounters dbCounters;
  const auto where = packRecords(records, t.recordSize, t.blockSize, db, dbCounters);
  writeCounters(db.header.data(), dbCounters, false);
  bytes::putU32le(&db.header[0x49], autoInc_);

  std::vector<std::pair<std::string, FileImage>> images;
  if (t.keyed())
    images.emplace_back("PX", treeImage(level1Of(db, t.recordSize, t.keySize, t.blockSize),
                                        primaryKeyFields(t), t.keySize, t.blockSize, tableName,
                                        db.header));
  for (const IndexLayout &index : t.indexes) {
    std::vector<std::uint8_t> entries;
    entries.reserve(count_ * static_cast<std::size_t>(index.recordSize));
    for (std::size_t i = 0; i < count_; ++i) {
      const auto rec = indexRecord(
          t, index, records.data() + i * static_cast<std::size_t>(t.recordSize), where[i]);
      entries.insert(entries.end(), rec.begin(), rec.end());
    }
    sortRecords(entries, index.recordSize, t.order, index.keyParts);
    FileImage x{buildIndexHeader(t, index, tableName, db.header), {}};
    BlockCounters xCounters;
    packRecords(entries, index.recordSize, t.blockSize, x, xCounters);
    writeCounters(x.header.data(), xCounters, false);
    auto keyFields = indexRecordFields(t, index);
    keyFields.pop_back(); // Blk Num is not part of the tree's key
    FileImage y = treeImage(level1Of(x, index.recordSize, index.sortKeySize, t.blockSize),
                            keyFields, index.sortKeySize, t.blockSize, tableName, x.header);
    images.emplace_back(indexDataExtension(index), std::move(x));
    images.emplace_back(indexTreeExtension(index), std::move(y));
  }
  if (t.checkValue != 0)
    for (std::size_t b = 0; b < db.blocks.size(); ++b)
      encryptBlock(db.blocks[b], t.checkValue, static_cast<std::uint32_t>(b + 1));

  // Companion files of an older table with this name would be taken for ours.
  const std::string directory = directoryOf(dbPath);
  const std::string stem = tableName.substr(0, tableName.find_last_of('.'));
  if (auto names = fs.list(directory.empty() ? "." : directory))
    for (const std::string &name : *names)
      if (isCompanion(name, stem))
        if (Status s = fs.remove(joinPath(directory, name)); !s) return s;

  if (Status s = writeImage(fs, dbPath, db); !s) return s;
  if (t.hasBlobs()) {
    FileImage mb{mb_->bytes, {}};
    mb.header.resize((mb.header.size() + 4095) / 4096 * 4096, 0);
    if (t.checkValue != 0) encryptBlobRange(mb.header, t.checkValue);
    if (Status s = writeImage(fs, siblingPath(dbPath, "MB"), mb); !s) return s;
  }
  for (const auto &[extension, image] : images)
    if (Status s = writeImage(fs, siblingPath(dbPath, extension), image); !s) return s;
  return {};
}

Status createTable(const std::string &dbPath, const TableSpec &definition, FileSystem &fs) {
  auto builder = TableBuilder::make(definition);
  if (!builder) return builder.takeStatus();
  return builder->write(dbPath, fs);
}

} // namespace velanta::paradox
