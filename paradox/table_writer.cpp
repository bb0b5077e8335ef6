#include "paradox/table_writer.h"

#include "paradox/blob_writer.h"
#include "paradox/block_file.h"
#include "paradox/bytes.h"
#include "paradox/crypto.h"
#include "paradox/header.h"
#include "paradox/header_builder.h"
#include "paradox/journal.h"
#include "paradox/page_overlay.h"
#include "paradox/table_family.h"
#include "paradox/table_lock.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

namespace velanta::paradox {
namespace {

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

Status readOnlyBecause(std::string reason, std::string file) {
  return Status(ErrorCode::kTableReadOnly, std::string(defaultMessage(ErrorCode::kTableReadOnly)),
                {std::move(file), std::move(reason)});
}

} // namespace

struct WriterIndexFiles {
  IndexLayout layout;
  std::string xPath, yPath;
  std::unique_ptr<File> x, y;
};

struct TableWriter::Impl {
  FileSystem *fs = nullptr;
  std::string directory, dbPath, mbPath, pxPath;
  std::unique_ptr<File> db, mb, px;
  std::vector<WriterIndexFiles> indexes;
  TableLock lock;
  std::shared_ptr<TableLayout> layout;

  explicit Impl(TableLock l) : lock(std::move(l)) {}

  // The overlays and views of one change.
  struct Change {
    std::unique_ptr<PageOverlay> db, mb, px;
    std::vector<std::unique_ptr<PageOverlay>> x, y;
    std::unique_ptr<EncryptedBlobStore> mbCipher;
    ByteStore *mbView = nullptr;
    std::unique_ptr<BlockFile> dbFile;
    std::unique_ptr<SortedFile> dbSorted;
    std::vector<std::unique_ptr<BlockFile>> xFiles;
    std::vector<std::unique_ptr<SortedFile>> xSorted;
    std::unique_ptr<BlobWriter> blobs;
  };

  Status begin(Change &c);
  Status finish(Change &c);
  // Runs body over a fresh view of the files under the modification lock, then commits what it
  // wrote (commit false: only reads).
  template <class Body> Status modify(Body &&body, bool commit = true);

  Status storeBlobs(Change &c, std::vector<std::uint8_t> &record, const RecordValues &values,
                    const std::vector<std::uint8_t> *original);
  Status releaseBlobs(Change &c, const std::vector<std::uint8_t> &record);
  Status insertIndexEntries(Change &c, const std::vector<std::uint8_t> &record,
                            const Placement &placement);
  Result<std::vector<std::uint8_t>> fetch(Change &c, std::span<const std::uint8_t> record);
  Status verifyUnchanged(Change &c, std::span<const std::uint8_t> original,
                         std::vector<std::uint8_t> *current);
  void numberAutoIncrement(Change &c, std::vector<std::uint8_t> &record);

  // Unkeyed tables: records found by their bytes along the chain.
  struct ChainSpot {
    std::uint16_t block = 0;
    int position = -1;
  };
  Result<ChainSpot> findInChain(Change &c, std::span<const std::uint8_t> record);
  Status insertInChain(Change &c, const std::vector<std::uint8_t> &record, ChainSpot at);
  Status removeFromChain(Change &c, ChainSpot at);
};

Status TableWriter::Impl::begin(Change &c) {
  auto over = [](File &f, std::unique_ptr<PageOverlay> &out) -> Status {
    auto o = PageOverlay::over(f);
    if (!o) return o.takeStatus();
    out = std::move(*o);
    return {};
  };
  if (Status s = over(*db, c.db); !s) return s;
  c.dbFile = std::make_unique<BlockFile>(*c.db, dbPath);
  if (Status s = c.dbFile->load(); !s) return s;
  if (c.dbFile->recordSize() != layout->recordSize)
    return c.dbFile->corrupt("размер записи изменился");
  if (mb) {
    if (Status s = over(*mb, c.mb); !s) return s;
    c.mbView = c.mb.get();
    if (layout->checkValue != 0) {
      c.mbCipher = std::make_unique<EncryptedBlobStore>(*c.mb, layout->checkValue);
      c.mbView = c.mbCipher.get();
    }
    c.blobs = std::make_unique<BlobWriter>(*c.mbView);
  }
  if (layout->keyed()) {
    if (Status s = over(*px, c.px); !s) return s;
    c.dbSorted =
        std::make_unique<SortedFile>(*c.dbFile, layout->order, layout->keyParts, layout->keySize);
    if (Status s = c.dbSorted->loadTree(*c.px); !s) return std::move(s).withContext(pxPath);
  }
  for (WriterIndexFiles &index : indexes) {
    c.x.emplace_back();
    c.y.emplace_back();
    if (Status s = over(*index.x, c.x.back()); !s) return s;
    if (Status s = over(*index.y, c.y.back()); !s) return s;
    c.xFiles.push_back(std::make_unique<BlockFile>(*c.x.back(), index.xPath));
    if (Status s = c.xFiles.back()->load(); !s) return s;
    if (c.xFiles.back()->counters.records != c.dbFile->counters.records)
      return Status(ErrorCode::kIndexOutOfDate,
                    std::string(defaultMessage(ErrorCode::kIndexOutOfDate)), {index.xPath});
    c.xSorted.push_back(std::make_unique<SortedFile>(
        *c.xFiles.back(), layout->order, index.layout.keyParts, index.layout.sortKeySize));
    if (Status s = c.xSorted.back()->loadTree(*c.y.back()); !s)
      return std::move(s).withContext(index.yPath);
  }
  return {};
}

Status TableWriter::Impl::finish(Change &c) {
  // Tell other readers the table changed: the DB's change counter (0x70, outside the stamps).
  std::vector<std::uint8_t> &h = c.dbFile->header();
  if (h.size() >= 0x72 && h[0x39] >= 5)
    bytes::putU16le(&h[0x70], static_cast<std::uint16_t>(bytes::getU16le(&h[0x70]) + 1));
  if (Status s = c.dbFile->storeHeader(); !s) return s;
  if (c.dbSorted)
    if (Status s = c.dbSorted->storeTree(*c.px); !s) return s;
  for (std::size_t i = 0; i < c.xFiles.size(); ++i) {
    if (Status s = c.xFiles[i]->storeHeader(); !s) return s;
    if (Status s = c.xSorted[i]->storeTree(*c.y[i]); !s) return s;
  }
  std::vector<JournalTarget> targets{{dbPath, c.db.get()}};
  if (c.mb) targets.push_back({mbPath, c.mb.get()});
  if (c.px) targets.push_back({pxPath, c.px.get()});
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    targets.push_back({indexes[i].xPath, c.x[i].get()});
    targets.push_back({indexes[i].yPath, c.y[i].get()});
  }
  // Keep the .MB a whole number of 4 KB units (the blob writer only grows it by units).
  return commitWithJournal(*fs, dbPath, std::move(targets));
}

template <class Body> Status TableWriter::Impl::modify(Body &&body, bool commit) {
  if (Status s = lock.lockModification(true, true); !s) return s;
  struct Unlock {
    TableLock &lock;
    ~Unlock() { lock.unlockModification(); }
  } unlock{lock};
  if (Status s = recoverJournal(*fs, dbPath); !s) return s;
  Change change;
  if (Status s = begin(change); !s) return s;
  if (Status s = body(change); !s) return s; // nothing was written: the overlays are dropped
  return commit ? finish(change) : Status();
}

void TableWriter::Impl::numberAutoIncrement(Change &c, std::vector<std::uint8_t> &record) {
  std::vector<std::uint8_t> &h = c.dbFile->header();
  for (const Field &f : layout->fields) {
    if (f.type != FieldType::kAutoIncrement) continue;
    std::uint8_t *p = record.data() + f.offset;
    std::uint32_t last = bytes::getU32le(&h[0x49]);
    if (std::all_of(p, p + 4, [](std::uint8_t b) { return b == 0; }))
      bytes::putBe(p, (last + 1) ^ 0x80000000u, 4);
    const auto value = static_cast<std::uint32_t>(bytes::getBe(p, 4) ^ 0x80000000u);
    if (value > last && value < 0x80000000u) bytes::putU32le(&h[0x49], value);
  }
}

Status TableWriter::Impl::storeBlobs(Change &c, std::vector<std::uint8_t> &record,
                                     const RecordValues &values,
                                     const std::vector<std::uint8_t> *original) {
  for (std::size_t i = 0; i < layout->fields.size(); ++i) {
    const Field &f = layout->fields[i];
    if (!isBlobType(f.type)) continue;
    std::uint8_t *p = record.data() + f.offset;
    const auto set = values.newBlobs().find(static_cast<int>(i));
    if (set == values.newBlobs().end()) {
      if (original) { // unchanged: keep the original trailer, whatever the values hold
        std::memcpy(p, original->data() + f.offset, static_cast<std::size_t>(f.width));
        continue;
      }
      if (!readBlobTrailer(f, p).external()) continue;
      // A new record copied from another: give it its own copy of the value.
      if (!c.blobs) return Status::error(ErrorCode::kBlobFileMissing, {mbPath});
      auto value = readStoredBlob(*c.mbView, f, p);
      if (!value) return value.takeStatus();
      if (Status s = c.blobs->store(f, *value, p); !s) return s;
      continue;
    }
    if (!c.blobs && !set->second.empty() &&
        set->second.size() > static_cast<std::size_t>(f.width - 10))
      return Status::error(ErrorCode::kBlobFileMissing, {mbPath});
    if (original && c.blobs)
      if (Status s = c.blobs->release(readBlobTrailer(f, original->data() + f.offset)); !s)
        return s;
    if (c.blobs) {
      if (Status s = c.blobs->store(f, set->second, p); !s) return s;
    } else {
      std::memset(p, 0, static_cast<std::size_t>(f.width));
      std::memcpy(p, set->second.data(), set->second.size());
      bytes::putU32le(p + f.width - 6, static_cast<std::uint32_t>(set->second.size()));
    }
  }
  return {};
}

Status TableWriter::Impl::releaseBlobs(Change &c, const std::vector<std::uint8_t> &record) {
  if (!c.blobs) return {};
  for (const Field &f : layout->fields)
    if (isBlobType(f.type))
      if (Status s = c.blobs->release(readBlobTrailer(f, record.data() + f.offset)); !s) return s;
  return {};
}

Status TableWriter::Impl::insertIndexEntries(Change &c, const std::vector<std::uint8_t> &record,
                                             const Placement &placement) {
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    const IndexLayout &index = indexes[i].layout;
    auto placed = c.xSorted[i]->insert(indexRecord(*layout, index, record.data(), placement.block));
    if (!placed) return std::move(placed).takeStatus().withContext(indexes[i].xPath);
    // Records a split moved to another data block: their Blk Num hints follow them.
    for (const auto &[moved, block] : placement.moved) {
      auto where = c.xSorted[i]->replace(indexRecord(*layout, index, moved.data(), block));
      if (!where) return where.takeStatus();
    }
  }
  return {};
}

Result<std::vector<std::uint8_t>> TableWriter::Impl::fetch(Change &c,
                                                           std::span<const std::uint8_t> record) {
  auto block = c.dbSorted->find(record);
  if (!block) return block.takeStatus();
  if (*block == 0) return std::vector<std::uint8_t>();
  auto bytesOf = c.dbFile->readBlock(*block);
  if (!bytesOf) return bytesOf.takeStatus();
  const int rs = layout->recordSize;
  const int n = blockRecordCount(bytesOf->data(), rs, c.dbFile->blockSize());
  for (int i = 0; i < n; ++i) {
    const std::uint8_t *r = recordAt(*bytesOf, i, rs);
    if (layout->order.compare(std::span(r, static_cast<std::size_t>(rs)), record,
                              layout->keyParts) == 0)
      return std::vector<std::uint8_t>(r, r + rs);
  }
  return std::vector<std::uint8_t>();
}

Status TableWriter::Impl::verifyUnchanged(Change &c, std::span<const std::uint8_t> original,
                                          std::vector<std::uint8_t> *current) {
  if (!layout->keyed()) return {};
  auto now = fetch(c, original);
  if (!now) return now.takeStatus();
  if (now->empty())
    return Status(ErrorCode::kRecordLocked, "Запись удалена другим пользователем.", {dbPath});
  if (!std::equal(now->begin(), now->end(), original.begin(), original.end()))
    return Status(ErrorCode::kRecordLocked, "Запись изменена другим пользователем.", {dbPath});
  if (current) *current = std::move(*now);
  return {};
}

Result<TableWriter::Impl::ChainSpot>
TableWriter::Impl::findInChain(Change &c, std::span<const std::uint8_t> record) {
  const int rs = layout->recordSize;
  std::uint16_t number = c.dbFile->counters.firstBlock;
  for (std::uint32_t guard = 0; number != 0 && guard <= c.dbFile->counters.fileBlocks; ++guard) {
    auto block = c.dbFile->readBlock(number);
    if (!block) return block.takeStatus();
    const int n = blockRecordCount(block->data(), rs, c.dbFile->blockSize());
    for (int i = 0; i < n; ++i)
      if (std::memcmp(recordAt(*block, i, rs), record.data(), static_cast<std::size_t>(rs)) == 0)
        return ChainSpot{number, i};
    number = bytes::getU16le(block->data());
  }
  return ChainSpot{};
}

Status TableWriter::Impl::insertInChain(Change &c, const std::vector<std::uint8_t> &record,
                                        ChainSpot at) {
  BlockFile &f = *c.dbFile;
  BlockCounters &counters = f.counters;
  const int rs = layout->recordSize;
  if (at.block == 0) { // append at the end of the last block
    at.block = counters.lastBlock;
    if (at.block != 0) {
      auto last = f.readBlock(at.block);
      if (!last) return last.takeStatus();
      at.position = blockRecordCount(last->data(), rs, f.blockSize());
    }
  }
  ++counters.records;
  if (at.block == 0) {
    auto number = f.allocate();
    if (!number) return number.takeStatus();
    counters.firstBlock = counters.lastBlock = *number;
    return f.writeBlock(*number, makeDataBlock(f.blockSize(), 0, 0, record.data(), 1, rs));
  }
  auto blockResult = f.readBlock(at.block);
  if (!blockResult) return blockResult.takeStatus();
  std::vector<std::uint8_t> block = std::move(*blockResult);
  const int n = blockRecordCount(block.data(), rs, f.blockSize());
  const std::uint16_t next = bytes::getU16le(&block[0]);
  const std::uint16_t prev = bytes::getU16le(&block[2]);
  std::vector<std::uint8_t> all(static_cast<std::size_t>((n + 1) * rs));
  std::memcpy(all.data(), block.data() + 6, static_cast<std::size_t>(at.position * rs));
  std::memcpy(all.data() + at.position * rs, record.data(), static_cast<std::size_t>(rs));
  std::memcpy(all.data() + (at.position + 1) * rs, block.data() + 6 + at.position * rs,
              static_cast<std::size_t>((n - at.position) * rs));
  if (n < f.capacity())
    return f.writeBlock(at.block, makeDataBlock(f.blockSize(), next, prev, all.data(), n + 1, rs));
  auto fresh = f.allocate();
  if (!fresh) return fresh.takeStatus();
  // Full: appending chains a new block; inserting inside splits the block in half.
  const int keep = at.position == n ? n : (n + 1) / 2;
  if (Status s =
          f.writeBlock(at.block, makeDataBlock(f.blockSize(), *fresh, prev, all.data(), keep, rs));
      !s)
    return s;
  if (Status s = f.writeBlock(*fresh, makeDataBlock(f.blockSize(), next, at.block,
                                                    all.data() + keep * rs, n + 1 - keep, rs));
      !s)
    return s;
  if (next == 0) {
    counters.lastBlock = *fresh;
    return {};
  }
  auto following = f.readBlock(next);
  if (!following) return following.takeStatus();
  bytes::putU16le(&(*following)[2], *fresh);
  return f.writeBlock(next, std::move(*following));
}

Status TableWriter::Impl::removeFromChain(Change &c, ChainSpot at) {
  BlockFile &f = *c.dbFile;
  const int rs = layout->recordSize;
  auto blockResult = f.readBlock(at.block);
  if (!blockResult) return blockResult.takeStatus();
  std::vector<std::uint8_t> block = std::move(*blockResult);
  const int n = blockRecordCount(block.data(), rs, f.blockSize());
  --f.counters.records;
  const std::uint16_t next = bytes::getU16le(&block[0]);
  const std::uint16_t prev = bytes::getU16le(&block[2]);
  if (n > 1) {
    std::memmove(recordAt(block, at.position, rs), recordAt(block, at.position + 1, rs),
                 static_cast<std::size_t>((n - at.position - 1) * rs));
    std::memset(recordAt(block, n - 1, rs), 0, static_cast<std::size_t>(rs));
    bytes::putU16le(&block[4], static_cast<std::uint16_t>((n - 2) * rs));
    return f.writeBlock(at.block, std::move(block));
  }
  for (auto [neighbour, slot, replacement] :
       {std::tuple{prev, 0, next}, std::tuple{next, 2, prev}}) {
    if (neighbour == 0) continue;
    auto b = f.readBlock(neighbour);
    if (!b) return b.takeStatus();
    bytes::putU16le(&(*b)[static_cast<std::size_t>(slot)], replacement);
    if (Status s = f.writeBlock(neighbour, std::move(*b)); !s) return s;
  }
  if (prev == 0) f.counters.firstBlock = next;
  if (next == 0) f.counters.lastBlock = prev;
  return f.release(at.block);
}

TableWriter::TableWriter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
  layout_ = impl_->layout;
  dbPath_ = impl_->dbPath;
}

TableWriter::~TableWriter() = default;

Result<std::unique_ptr<TableWriter>> TableWriter::open(const std::string &directory,
                                                       const std::string &name,
                                                       const WriterOptions &options) {
  FileSystem &fs = options.fileSystem ? *options.fileSystem : posixFileSystem();
  const bool real = options.fileSystem == nullptr || options.fileSystem == &posixFileSystem();
  {
    // A change interrupted by a crash is undone before anything is read.
    auto names = fs.list(directory.empty() ? "." : directory);
    if (!names) return names.takeStatus();
    for (const std::string &n : *names)
      if (upper(n) == upper(name)) {
        const std::string dbPath = joinPath(directory, n);
        if (real && originalEngineActive(directory))
          return readOnlyBecause("в папке работает программа с исходным ядром баз данных", dbPath);
        auto probe = fs.open(dbPath, OpenMode::kReadWrite);
        if (!probe) return probe.takeStatus();
        auto lock = TableLock::open(real ? dbPath : std::string());
        if (!lock) return lock.takeStatus();
        if (Status s = lock->lockModification(true, true); !s) return s;
        Status recovered = recoverJournal(fs, dbPath);
        lock->unlockModification();
        if (!recovered) return recovered;
      }
  }
  auto family = describeFamily(fs, directory, name, options.passwords);
  if (!family) return family.takeStatus();
  if (!family->problems.empty()) {
    std::vector<std::string> context{family->dbPath};
    context.insert(context.end(), family->problems.begin(), family->problems.end());
    return Status(ErrorCode::kIndexOutOfDate,
                  std::string(defaultMessage(ErrorCode::kIndexOutOfDate)), std::move(context));
  }
  if (!family->limitations.empty()) {
    std::vector<std::string> context{family->dbPath};
    context.insert(context.end(), family->limitations.begin(), family->limitations.end());
    return Status(ErrorCode::kNotSupported, std::string(defaultMessage(ErrorCode::kNotSupported)),
                  std::move(context));
  }
  const Header &h = family->dbHeader;
  if (h.writeProtected) return readOnlyBecause("таблица защищена от записи", family->dbPath);
  auto lock = TableLock::open(real ? family->dbPath : std::string());
  if (!lock) return lock.takeStatus();
  auto impl = std::make_unique<Impl>(std::move(*lock));
  impl->fs = &fs;
  impl->directory = directory;
  impl->dbPath = family->dbPath;
  impl->mbPath = family->mbPath;
  impl->pxPath = family->pxPath;
  impl->layout = family->layout;
  auto openRw = [&](const std::string &path, std::unique_ptr<File> &out) -> Status {
    auto f = fs.open(path, OpenMode::kReadWrite);
    if (!f) return f.takeStatus();
    out = std::move(*f);
    return {};
  };
  if (Status s = openRw(impl->dbPath, impl->db); !s) return s;
  if (!impl->mbPath.empty())
    if (Status s = openRw(impl->mbPath, impl->mb); !s) return s;
  if (!impl->pxPath.empty())
    if (Status s = openRw(impl->pxPath, impl->px); !s) return s;
  for (const FamilyIndex &fi : family->indexes) {
    WriterIndexFiles index;
    index.layout = fi.layout;
    index.xPath = fi.xPath;
    index.yPath = fi.yPath;
    if (Status s = openRw(index.xPath, index.x); !s) return s;
    if (Status s = openRw(index.yPath, index.y); !s) return s;
    impl->indexes.push_back(std::move(index));
  }
  return std::unique_ptr<TableWriter>(new TableWriter(std::move(impl)));
}

Status TableWriter::lockRecord(std::span<const std::uint8_t> stored) {
  const std::size_t identity =
      layout_->keyed() ? static_cast<std::size_t>(layout_->keySize) : stored.size();
  return impl_->lock.lockRecord(stored.subspan(0, std::min(identity, stored.size())));
}

void TableWriter::unlockRecord() {
  impl_->lock.unlockRecord();
}

Result<std::vector<std::uint8_t>> TableWriter::insert(const RecordValues &values) {
  return insertBefore(values, {});
}

Result<std::vector<std::uint8_t>> TableWriter::insertBefore(const RecordValues &values,
                                                            std::span<const std::uint8_t> current) {
  Impl &m = *impl_;
  std::vector<std::uint8_t> record = values.stored();
  record.resize(static_cast<std::size_t>(layout_->recordSize), 0);
  Status s = m.modify([&](Impl::Change &c) -> Status {
    m.numberAutoIncrement(c, record);
    if (layout_->keyed()) {
      // Key first: a violation must leave the .MB untouched too.
      if (auto existing = m.fetch(c, record); !existing)
        return existing.takeStatus();
      else if (!existing->empty())
        return Status::error(ErrorCode::kKeyViolation, {m.dbPath});
    }
    if (Status b = m.storeBlobs(c, record, values, nullptr); !b) return b;
    if (!layout_->keyed()) {
      Impl::ChainSpot at;
      if (!current.empty()) {
        auto spot = m.findInChain(c, current);
        if (!spot) return spot.takeStatus();
        at = *spot;
        if (at.block == 0) at = {};
      }
      return m.insertInChain(c, record, at);
    }
    auto placed = c.dbSorted->insert(record);
    if (!placed) return placed.takeStatus();
    return m.insertIndexEntries(c, record, *placed);
  });
  if (!s) return s;
  return record;
}

Result<std::vector<std::uint8_t>> TableWriter::update(std::span<const std::uint8_t> originalSpan,
                                                      const RecordValues &values) {
  Impl &m = *impl_;
  const std::vector<std::uint8_t> original(originalSpan.begin(), originalSpan.end());
  if (static_cast<int>(original.size()) != layout_->recordSize)
    return Status(ErrorCode::kInvalidArgument, "Неверная длина записи.", {m.dbPath});
  std::vector<std::uint8_t> record = values.stored();
  record.resize(original.size(), 0);
  Status s = m.modify([&](Impl::Change &c) -> Status {
    if (Status v = m.verifyUnchanged(c, original, nullptr); !v) return v;
    Impl::ChainSpot spot;
    if (!layout_->keyed()) {
      auto found = m.findInChain(c, original);
      if (!found) return found.takeStatus();
      if (found->block == 0)
        return Status(ErrorCode::kRecordLocked, "Запись изменена другим пользователем.",
                      {m.dbPath});
      spot = *found;
    }
    const bool keyChanged =
        layout_->keyed() &&
        !std::equal(record.begin(), record.begin() + layout_->keySize, original.begin());
    if (keyChanged) {
      if (auto existing = m.fetch(c, record); !existing)
        return existing.takeStatus();
      else if (!existing->empty())
        return Status::error(ErrorCode::kKeyViolation, {m.dbPath});
    }
    if (Status b = m.storeBlobs(c, record, values, &original); !b) return b;
    if (!layout_->keyed()) {
      auto block = c.dbFile->readBlock(spot.block);
      if (!block) return block.takeStatus();
      std::memcpy(recordAt(*block, spot.position, layout_->recordSize), record.data(),
                  record.size());
      return c.dbFile->writeBlock(spot.block, std::move(*block));
    }
    Placement placement;
    if (!keyChanged) {
      auto block = c.dbSorted->replace(record);
      if (!block) return block.takeStatus();
      placement.block = *block;
    } else {
      if (Status r = c.dbSorted->remove(original); !r) return r;
      auto placed = c.dbSorted->insert(record);
      if (!placed) return placed.takeStatus();
      placement = std::move(*placed);
    }
    for (std::size_t i = 0; i < m.indexes.size(); ++i) {
      const IndexLayout &index = m.indexes[i].layout;
      const auto before = indexRecord(*layout_, index, original.data(), 0);
      const auto after = indexRecord(*layout_, index, record.data(), placement.block);
      const bool sameKey =
          std::equal(before.begin(), before.begin() + index.sortKeySize, after.begin());
      if (sameKey) {
        if (!keyChanged) continue;
        auto where = c.xSorted[i]->replace(after);
        if (!where) return where.takeStatus();
      } else {
        if (Status r = c.xSorted[i]->remove(before); !r)
          return std::move(r).withContext(m.indexes[i].xPath);
        auto placed = c.xSorted[i]->insert(after);
        if (!placed) return placed.takeStatus();
      }
      for (const auto &[moved, block] : placement.moved) {
        auto where = c.xSorted[i]->replace(indexRecord(*layout_, index, moved.data(), block));
        if (!where) return where.takeStatus();
      }
    }
    return {};
  });
  if (!s) return s;
  return record;
}

Status TableWriter::remove(std::span<const std::uint8_t> originalSpan) {
  Impl &m = *impl_;
  const std::vector<std::uint8_t> original(originalSpan.begin(), originalSpan.end());
  if (static_cast<int>(original.size()) != layout_->recordSize)
    return Status(ErrorCode::kInvalidArgument, "Неверная длина записи.", {m.dbPath});
  return m.modify([&](Impl::Change &c) -> Status {
    if (Status v = m.verifyUnchanged(c, original, nullptr); !v) return v;
    if (!layout_->keyed()) {
      auto found = m.findInChain(c, original);
      if (!found) return found.takeStatus();
      if (found->block == 0)
        return Status(ErrorCode::kRecordLocked, "Запись удалена другим пользователем.", {m.dbPath});
      if (Status r = m.removeFromChain(c, *found); !r) return r;
      return m.releaseBlobs(c, original);
    }
    if (Status r = c.dbSorted->remove(original); !r) return r;
    for (std::size_t i = 0; i < m.indexes.size(); ++i)
      if (Status r =
              c.xSorted[i]->remove(indexRecord(*layout_, m.indexes[i].layout, original.data(), 0));
          !r)
        return std::move(r).withContext(m.indexes[i].xPath);
    return m.releaseBlobs(c, original);
  });
}

Result<std::vector<std::uint8_t>> TableWriter::fetch(std::span<const std::uint8_t> record) {
  Impl &m = *impl_;
  if (!layout_->keyed() || static_cast<int>(record.size()) < layout_->keySize)
    return Status(ErrorCode::kInvalidArgument, "Таблица без ключа.", {m.dbPath});
  std::vector<std::uint8_t> key(record.begin(), record.end());
  key.resize(static_cast<std::size_t>(layout_->recordSize), 0);
  std::vector<std::uint8_t> found;
  Status s = m.modify(
      [&](Impl::Change &c) -> Status {
        auto now = m.fetch(c, key);
        if (!now) return now.takeStatus();
        found = std::move(*now);
        return Status();
      },
      false);
  if (!s) return s;
  return found;
}

Result<std::string> TableWriter::readBlob(std::span<const std::uint8_t> stored, int field) {
  Impl &m = *impl_;
  if (field < 0 || field >= static_cast<int>(layout_->fields.size()) ||
      !isBlobType(layout_->fields[static_cast<std::size_t>(field)].type) ||
      static_cast<int>(stored.size()) != layout_->recordSize)
    return Status(ErrorCode::kInvalidArgument, "Поле не является большим объектом.");
  const Field &f = layout_->fields[static_cast<std::size_t>(field)];
  if (!m.mb) {
    if (readBlobTrailer(f, stored.data() + f.offset).external())
      return Status::error(ErrorCode::kBlobFileMissing, {m.dbPath});
    MemoryStore none;
    return readStoredBlob(none, f, stored.data() + f.offset);
  }
  auto overlay = PageOverlay::over(*m.mb);
  if (!overlay) return overlay.takeStatus();
  if (layout_->checkValue != 0) {
    EncryptedBlobStore view(**overlay, layout_->checkValue);
    return readStoredBlob(view, f, stored.data() + f.offset);
  }
  return readStoredBlob(**overlay, f, stored.data() + f.offset);
}

} // namespace velanta::paradox
