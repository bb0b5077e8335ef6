#include "paradox/table.h"

#include "paradox/journal.h"

#include "paradox/bytes.h"
#include "paradox/crypto.h"
#include "paradox/table_impl.h"

#include <algorithm>
#include <cctype>

namespace velanta::paradox {
namespace {

// Indexes of tables up to this many records are compared with the data in full on opening.
constexpr std::uint64_t kFullIndexCheckLimit = 20'000;

std::string asciiLower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// Upper case of a cp1251 byte (Latin, Russian, ё) for comparing names without case.
unsigned char foldName(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0) return static_cast<unsigned char>(c - 0x20);
  if (c == 0xB8) return 0xA8;
  return c;
}

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return foldName(static_cast<unsigned char>(x)) ==
                  foldName(static_cast<unsigned char>(y));
         });
}

std::string convertText(std::string_view text, const ByteMap *map) {
  std::string out(text);
  if (map != nullptr)
    for (char &c : out)
      c = static_cast<char>((*map)[static_cast<unsigned char>(c)]);
  return out;
}

std::string versionText(int version) {
  if (version == 3) return "3.0";
  if (version == 4) return "3.5";
  if (version <= 9) return "4.x";
  if (version <= 11) return "5.x";
  return "7.x";
}

// Splits "NAME.EXT" into stem and lower-case extension.
std::pair<std::string, std::string> splitName(const std::string &name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return {name, {}};
  return {name.substr(0, dot), asciiLower(name.substr(dot + 1))};
}

bool isHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// An .MB header block, plain: type 0, one 4 K unit, block sizes 0x1000.
bool looksLikePlainBlobHeader(const std::vector<std::uint8_t> &head) {
  return head.size() >= 0x10 && head[0] == 0 && bytes::getU16le(head.data() + 1) == 1 &&
         bytes::getU16le(head.data() + 0x0B) == 0x1000;
}

} // namespace

namespace {
// The fixed part of a data file's header (counts, change counters, first/last block).
constexpr std::size_t kFixedHeaderBytes = 0x78;

Result<std::vector<std::uint8_t>> readFixedHeader(File &file) {
  std::vector<std::uint8_t> bytes(kFixedHeaderBytes);
  auto size = file.size();
  if (!size) return size.takeStatus();
  bytes.resize(std::min<std::uint64_t>(*size, kFixedHeaderBytes));
  std::size_t read = 0;
  if (Status s = file.read(0, bytes, &read); !s) return s;
  bytes.resize(read);
  return bytes;
}
} // namespace

Table::Table(std::unique_ptr<TableImpl> impl) : impl_(std::move(impl)) {}

Result<bool> Table::changedSinceOpening() {
  auto now = readFixedHeader(impl_->data->file());
  if (!now) return now.takeStatus();
  return *now != impl_->headerAtOpening;
}
Table::~Table() = default;

bool Table::readOnly() const {
  return impl_->readOnly;
}
const TableInfo &Table::info() const {
  return impl_->info;
}
const std::vector<Field> &Table::fields() const {
  return impl_->fields;
}
const std::vector<IndexInfo> &Table::indexes() const {
  return impl_->indexes;
}

int Table::fieldIndex(std::string_view name) const {
  return impl_->fieldIndex(name);
}

int TableImpl::fieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (sameName(fields[i].name, name)) return static_cast<int>(i);
  return -1;
}

Result<std::unique_ptr<Table>> Table::open(const std::string &directory, const std::string &name,
                                           const OpenOptions &options) {
  auto impl = std::make_unique<TableImpl>();
  impl->fs = options.fileSystem != nullptr ? options.fileSystem : &posixFileSystem();
  impl->directory = directory;
  impl->options = options;
  FileSystem &fs = *impl->fs;

  std::string wanted = name;
  if (splitName(wanted).second.empty()) wanted += ".db";
  auto names = fs.list(directory);
  if (!names) return Status::error(ErrorCode::kNoSuchTable, {joinPath(directory, name)});
  const auto found = std::find_if(names->begin(), names->end(), [&](const std::string &entry) {
    return asciiLower(entry) == asciiLower(wanted);
  });
  if (found == names->end())
    return Status::error(ErrorCode::kNoSuchTable, {joinPath(directory, wanted)});
  const std::string path = joinPath(directory, *found);
  impl->stem = splitName(*found).first;
  // A change interrupted by a crash is undone first (journal.h).
  if (Status s = recoverBeforeOpening(fs, path); !s) return s;

  const bool writable = options.access == AccessMode::kReadWrite;
  if (writable && !fs.directoryWritable(directory))
    return Status::error(ErrorCode::kReadOnlyDirectory, {directory.empty() ? "." : directory});
  auto file = fs.open(path, writable ? OpenMode::kReadWrite : OpenMode::kReadOnly);
  if (!file) return file.takeStatus();
  auto data = BlockReader::open(std::move(file).value(), options.cacheBlocks);
  if (!data) return data.takeStatus();
  impl->data = std::move(data).value();
  impl->readOnly = !writable;
  if (auto snapshot = readFixedHeader(impl->data->file()); snapshot)
    impl->headerAtOpening = std::move(snapshot).value();
  impl->headerInUse = impl->headerAtOpening;
  const Header &header = impl->data->header();
  if (!header.isTable())
    return Status::error(ErrorCode::kHeaderCorrupt, {*found, "файл не является таблицей"});
  if (writable && header.writeProtected != 0)
    return Status::error(ErrorCode::kTableReadOnly, {*found});

  // Password: the check value of one of the session's passwords must match.
  const std::uint32_t checkValue = header.checkValue();
  if (checkValue != 0) {
    const bool granted =
        std::any_of(options.passwords.begin(), options.passwords.end(),
                    [&](const std::string &p) { return passwordCheckValue(p) == checkValue; });
    if (!granted) return Status::error(ErrorCode::kInsufficientTableRights, {*found});
  }

  // Text conversion.
  int textPage =
      textCodePage(header.codePage, header.hasDataHeader, header.sortOrder, header.sortOrderId);
  if (options.codePage >= 0) textPage = isOemCodePage(options.codePage) ? options.codePage : 0;
  impl->toAnsi = oemTo1251(textPage);
  impl->fromAnsi = ansi1251ToOem(textPage);
  impl->collation = collationFor(header.sortOrderId);

  // Fields.
  int offset = 0;
  for (std::size_t i = 0; i < header.descriptors.size(); ++i) {
    Field field;
    const auto &descriptor = header.descriptors[i];
    field.type = static_cast<FieldType>(descriptor.type);
    field.size = descriptor.size;
    field.width = isKnownFieldType(descriptor.type) ? storedFieldSize(field.type, descriptor.size)
                                                    : descriptor.size;
    field.offset = offset;
    field.name = convertText(i < header.fieldNames.size() ? header.fieldNames[i] : std::string(),
                             impl->toAnsi);
    if (field.width <= 0)
      return Status::error(ErrorCode::kHeaderCorrupt, {*found, "поле нулевого размера"});
    offset += field.width;
    impl->fields.push_back(std::move(field));
  }
  if (offset > header.recordSize)
    return Status::error(ErrorCode::kHeaderCorrupt, {*found, "поля не помещаются в запись"});

  TableInfo &info = impl->info;
  info.fileName = *found;
  info.fileVersion = header.fileVersion;
  info.versionText = versionText(header.fileVersion);
  info.keyed = header.isKeyed();
  info.keyFieldCount = header.isKeyed() ? header.numKeyFields : 0;
  info.blockSize = header.blockSize();
  info.records = header.numRecords;
  info.codePage = header.codePage;
  info.textCodePage = textPage;
  info.sortOrder = header.sortOrder;
  info.sortOrderId = header.sortOrderId;
  info.encrypted = checkValue != 0;
  info.autoIncrement = header.autoIncrement;

  if (auto status = impl->openCompanions(); !status) return status;
  impl->findIndexes(*names);
  // The block chain is walked when a cursor first needs it: a cursor in a big table's index
  // order finds its records without it.
  return std::unique_ptr<Table>(new Table(std::move(impl)));
}

Status TableImpl::openCompanions() {
  const Header &header = data->header();
  auto names = fs->list(directory);
  if (!names) return names.takeStatus();
  const auto companion = [&](std::string_view extension) -> std::string {
    for (const auto &entry : *names) {
      const auto [entryStem, entryExt] = splitName(entry);
      if (entryExt == extension && asciiLower(entryStem) == asciiLower(stem))
        return joinPath(directory, entry);
    }
    return {};
  };
  const bool writable = !readOnly;

  if (std::any_of(fields.begin(), fields.end(),
                  [](const Field &f) { return isBlobType(f.type); })) {
    const std::string mbPath = companion("mb");
    if (mbPath.empty()) return Status::error(ErrorCode::kBlobFileMissing, {stem + ".MB"});
    auto mb = fs->open(mbPath, writable ? OpenMode::kReadWrite : OpenMode::kReadOnly);
    if (!mb) return mb.takeStatus();
    // pxlib leaves the .MB of an encrypted table plain; the original engine encrypts it.
    std::uint32_t mbCheckValue = 0;
    if (header.checkValue() != 0) {
      std::vector<std::uint8_t> head(256);
      std::size_t got = 0;
      if (auto status = (*mb)->read(0, head, &got); !status) return status;
      if (got == head.size() && !looksLikePlainBlobHeader(head)) mbCheckValue = header.checkValue();
    }
    blobs = std::make_unique<BlobFile>(std::move(mb).value(), mbCheckValue);
    info.hasBlobFile = true;
  }

  if (header.isKeyed()) {
    const std::string pxPath = companion("px");
    if (pxPath.empty()) {
      primaryTreeProblem = "нет файла первичного индекса";
    } else if (auto px = fs->open(pxPath, OpenMode::kReadOnly); px) {
      auto tree = BlockReader::open(std::move(px).value(), 8);
      if (!tree) {
        primaryTreeProblem = tree.status().toString();
      } else if ((*tree)->header().fileType != 1) {
        primaryTreeProblem = "файл .PX не является первичным индексом";
      } else if ((*tree)->header().indexStamp != expectedIndexStamp(header)) {
        primaryTreeProblem = "первичный индекс не согласован с таблицей";
      } else {
        primaryTree = std::make_unique<IndexTree>(std::move(tree).value());
      }
    }
  }
  return {};
}

void TableImpl::findIndexes(const std::vector<std::string> &names) {
  const int keyCount = info.keyFieldCount;
  int keyWidth = 0;
  for (int i = 0; i < keyCount && i < static_cast<int>(fields.size()); ++i)
    keyWidth += fields[static_cast<std::size_t>(i)].width;
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  for (const auto &entry : sorted) {
    const auto [entryStem, ext] = splitName(entry);
    if (asciiLower(entryStem) != asciiLower(stem)) continue;
    const bool composite = ext.size() == 3 && ext[0] == 'x' && ext[1] == 'g' &&
                           std::isdigit(static_cast<unsigned char>(ext[2]));
    const bool single =
        ext.size() == 3 && ext[0] == 'x' && isHexDigit(ext[1]) && isHexDigit(ext[2]);
    if (!composite && !single) continue;
    IndexInfo index;
    IndexFiles files;
    index.fileName = entry;
    index.composite = composite;
    files.indexPath = joinPath(directory, entry);
    std::string treeName = entry;
    treeName[treeName.size() - ext.size()] = entry[entry.size() - ext.size()] == 'X' ? 'Y' : 'y';
    const auto tree = std::find_if(names.begin(), names.end(), [&](const std::string &n) {
      return asciiLower(n) == asciiLower(treeName);
    });
    if (tree != names.end()) files.treePath = joinPath(directory, *tree);

    const auto problem = [&](const std::string &why) {
      index.inStep = false;
      index.problem = why;
      if (index.name.empty()) index.name = entry;
      indexes.push_back(index);
      indexFiles.push_back(files);
    };
    auto file = fs->open(files.indexPath, OpenMode::kReadOnly);
    if (!file) {
      problem("файл не открывается");
      continue;
    }
    auto indexFile = BlockReader::open(std::move(file).value(), 2);
    if (!indexFile) {
      problem(indexFile.status().toString());
      continue;
    }
    const Header &x = (*indexFile)->header();
    files.header = x;
    index.maintained = x.isMaintainedIndex();
    const bool expectedType =
        composite ? (x.fileType == 6 || x.fileType == 8) : (x.fileType == 3 || x.fileType == 5);
    if (!expectedType) {
      problem("неожиданный тип файла индекса");
      continue;
    }
    const int m = index.maintained ? x.numFields - keyCount - 1 : x.numFields - 3;
    files.indexedFieldCount = m;
    std::vector<std::uint16_t> numbers = x.fieldNumbers;
    if (numbers.empty() && x.indexFieldNumber != 0) numbers.push_back(x.indexFieldNumber);
    if (m < 1 || static_cast<std::size_t>(m) > numbers.size() ||
        x.descriptors.size() < static_cast<std::size_t>(m)) {
      problem("неверное описание полей индекса");
      continue;
    }
    bool fieldsMatch = true;
    for (int i = 0; i < m; ++i) {
      const int position = (numbers[static_cast<std::size_t>(i)] & 0x7FFF) - 1;
      if (position < 0 || position >= static_cast<int>(fields.size())) {
        fieldsMatch = false;
        break;
      }
      const Field &field = fields[static_cast<std::size_t>(position)];
      const auto &descriptor = x.descriptors[static_cast<std::size_t>(i)];
      if (descriptor.type != static_cast<std::uint8_t>(field.type) || descriptor.size != field.size)
        fieldsMatch = false;
      index.keyFields.push_back(position);
      index.descending.push_back((numbers[static_cast<std::size_t>(i)] & 0x8000) != 0);
    }
    if (!fieldsMatch) {
      problem("поля индекса не совпадают с полями таблицы");
      continue;
    }
    index.caseInsensitive = composite && (x.indexFlags & 0x01) != 0;
    index.name = composite ? convertText(x.indexName, toAnsi)
                           : fields[static_cast<std::size_t>(index.keyFields[0])].name;
    if (index.maintained) {
      int recordWidth = 0;
      for (int i = 0; i < m; ++i)
        recordWidth +=
            storedFieldSize(static_cast<FieldType>(x.descriptors[static_cast<std::size_t>(i)].type),
                            x.descriptors[static_cast<std::size_t>(i)].size);
      if (!info.keyed || recordWidth + keyWidth + 2 > x.recordSize) {
        problem("запись индекса не содержит ключа таблицы");
        continue;
      }
    }
    if (!index.maintained) {
      index.problem = "индекс не поддерживается (перестраивается при использовании)";
    } else if (x.numRecords != data->header().numRecords) {
      index.problem = "число записей индекса не совпадает с таблицей";
    } else {
      index.inStep = true;
    }
    indexes.push_back(index);
    indexFiles.push_back(files);
  }
}

Result<std::shared_ptr<ChainedFile>> TableImpl::chain() {
  if (!chain_) {
    auto blocks = data->walkChain();
    if (!blocks) return blocks.takeStatus();
    chain_ = std::make_shared<ChainedFile>(*data, *blocks);
  }
  return chain_;
}

Status TableImpl::followChanges() {
  auto now = readFixedHeader(data->file());
  if (!now) return now.takeStatus();
  if (*now == headerInUse) return {};
  // Taken before the header is reread: a change made meanwhile is followed next time.
  headerInUse = std::move(now).value();
  if (Status status = data->reread(); !status) return status;
  chain_.reset();
  // The primary tree's cached blocks may be old too; seeks through it are verified against
  // the table, so a tree that can no longer be read only costs them their shortcut.
  if (primaryTree) (void)primaryTree->file().reread();
  return {};
}

std::vector<KeyField> TableImpl::primaryKeyFields() const {
  std::vector<KeyField> key;
  for (int i = 0; i < info.keyFieldCount && i < static_cast<int>(fields.size()); ++i) {
    const Field &field = fields[static_cast<std::size_t>(i)];
    key.push_back({field.offset, field.width, field.type, false, false});
  }
  return key;
}

std::vector<KeyField> TableImpl::indexKeyFields(const IndexInfo &index) const {
  std::vector<KeyField> key;
  for (std::size_t i = 0; i < index.keyFields.size(); ++i) {
    const Field &field = fields[static_cast<std::size_t>(index.keyFields[i])];
    key.push_back(
        {field.offset, field.width, field.type, index.descending[i], index.caseInsensitive});
  }
  return key;
}

Result<std::vector<ChainBlock>> TableImpl::indexChain(int indexNumber, BlockReader &indexFile) {
  std::vector<std::uint8_t> stamp;
  if (auto indexHeader = readFixedHeader(indexFile.file()); indexHeader)
    if (auto tableHeader = readFixedHeader(data->file()); tableHeader) {
      stamp = std::move(indexHeader).value();
      stamp.insert(stamp.end(), tableHeader->begin(), tableHeader->end());
    }
  walkedIndexChains_.resize(indexes.size());
  WalkedChain &walked = walkedIndexChains_[static_cast<std::size_t>(indexNumber)];
  if (!stamp.empty() && walked.stamp == stamp) return walked.blocks;
  auto blocks = indexFile.walkChain();
  if (!blocks) return blocks;
  walked = {std::move(stamp), *blocks, false};
  return blocks;
}

bool TableImpl::indexCheckedSinceWalk(int indexNumber) const {
  const auto n = static_cast<std::size_t>(indexNumber);
  return n < walkedIndexChains_.size() && walkedIndexChains_[n].checked;
}

void TableImpl::markIndexChecked(int indexNumber) {
  const auto n = static_cast<std::size_t>(indexNumber);
  if (n < walkedIndexChains_.size() && !walkedIndexChains_[n].stamp.empty())
    walkedIndexChains_[n].checked = true;
}

Result<std::unique_ptr<Order>> TableImpl::rebuildOrder(int indexNumber) {
  auto table = chain();
  if (!table) return table.takeStatus();
  const IndexInfo &index = indexes[static_cast<std::size_t>(indexNumber)];
  if (index.keyFields.empty())
    return Status::error(ErrorCode::kIndexCorrupt, {index.fileName, index.problem});
  auto order = MemoryOrder::build(std::move(table).value(), indexKeyFields(index), collation);
  if (!order) return order.takeStatus();
  return std::unique_ptr<Order>(std::move(order).value());
}

Result<std::unique_ptr<Order>> TableImpl::makeOrder(int indexNumber, bool &rebuilt) {
  rebuilt = false;
  if (indexNumber < 0) {
    auto table = chain();
    if (!table) return table.takeStatus();
    return std::unique_ptr<Order>(
        std::make_unique<ChainOrder>(*table, primaryKeyFields(), collation, primaryTree.get()));
  }

  IndexInfo &index = indexes[static_cast<std::size_t>(indexNumber)];
  const IndexFiles &files = indexFiles[static_cast<std::size_t>(indexNumber)];
  const auto fallback = [&](const std::string &why) -> Result<std::unique_ptr<Order>> {
    if (index.inStep) {
      index.inStep = false;
      index.problem = why;
    }
    rebuilt = true;
    return rebuildOrder(indexNumber);
  };
  if (!index.inStep) return fallback(index.problem);

  auto file = fs->open(files.indexPath, OpenMode::kReadOnly);
  if (!file) return fallback("файл индекса не открывается");
  auto indexFile = BlockReader::open(std::move(file).value(), options.cacheBlocks);
  if (!indexFile) return fallback("заголовок индекса повреждён");
  auto indexChain = this->indexChain(indexNumber, **indexFile);
  if (!indexChain) return fallback("цепочка блоков индекса повреждена");
  std::uint64_t indexRecords = 0;
  for (const auto &block : *indexChain)
    indexRecords += block.count;
  // The index must hold as many records as the table. A table checked against its index in
  // full (below) is counted along its chain; a bigger one by its header, so that an index
  // cursor does not walk the whole table first (its records are each checked when fetched).
  std::uint64_t tableRecords = data->header().numRecords;
  if (tableRecords <= kFullIndexCheckLimit) {
    auto table = chain();
    if (!table) return table.takeStatus();
    tableRecords = (*table)->size();
  }
  if (indexRecords != tableRecords)
    return fallback("число записей индекса не совпадает с таблицей");

  std::unique_ptr<IndexTree> tree;
  if (!files.treePath.empty())
    if (auto treeFile = fs->open(files.treePath, OpenMode::kReadOnly); treeFile) {
      auto treeBlocks = BlockReader::open(std::move(treeFile).value(), 8);
      if (treeBlocks && (*treeBlocks)->header().isTree() &&
          (*treeBlocks)->header().indexStamp == expectedIndexStamp((*indexFile)->header()))
        tree = std::make_unique<IndexTree>(std::move(treeBlocks).value());
    }

  IndexRecordLayout layout;
  const Header &x = (*indexFile)->header();
  int offset = 0;
  const auto tableKey = indexKeyFields(index);
  for (int i = 0; i < files.indexedFieldCount; ++i) {
    KeyField field = tableKey[static_cast<std::size_t>(i)];
    layout.indexedInTable.push_back(field);
    field.offset = offset;
    layout.indexedInIndex.push_back(field);
    offset += field.width;
  }
  layout.primaryKeyOffset = offset;
  layout.primaryKeyInTable = primaryKeyFields();
  for (const auto &field : layout.primaryKeyInTable)
    layout.primaryKeyWidth += field.width;
  layout.blockHintOffset = offset + layout.primaryKeyWidth;
  if (layout.blockHintOffset + 2 > x.recordSize) return fallback("запись индекса короче ожидаемой");
  auto chainBlocks = std::move(indexChain).value();
  auto order = std::make_unique<IndexOrder>(std::move(indexFile).value(), std::move(chainBlocks),
                                            std::move(tree), std::move(layout), collation, *data,
                                            [this]() -> Result<ChainedFile *> {
                                              auto table = chain();
                                              if (!table) return table.takeStatus();
                                              return table->get();
                                            });
  // A table of catalogue size is checked against its index in full up front (one pass over
  // the index, a few milliseconds), so a stale index never shows half its order. Bigger
  // tables are checked record by record as the cursor reaches them. The table's other
  // cursors on the same walk of the same files take the check as done.
  if (order->size() <= kFullIndexCheckLimit && !indexCheckedSinceWalk(indexNumber)) {
    if (Status status = order->checkAll(); !status) {
      if (status.code() == ErrorCode::kIndexOutOfDate) return fallback(status.context().back());
      return status;
    }
    markIndexChecked(indexNumber);
  }
  return std::unique_ptr<Order>(std::move(order));
}

Result<std::unique_ptr<Cursor>> Table::openCursor(std::string_view indexName) {
  int indexNumber = -1;
  if (!indexName.empty()) {
    for (std::size_t i = 0; i < impl_->indexes.size(); ++i)
      if (sameName(impl_->indexes[i].name, indexName)) {
        indexNumber = static_cast<int>(i);
        break;
      }
    if (indexNumber < 0)
      return Status::error(ErrorCode::kNoSuchIndex, {impl_->info.fileName, std::string(indexName)});
  }
  return impl_->makeCursor(indexNumber);
}

} // namespace velanta::paradox
