#include "paradox/table_check.h"

#include "paradox/blob_writer.h"
#include "paradox/block_file.h"
#include "paradox/bytes.h"
#include "paradox/page_overlay.h"
#include "paradox/table_family.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace velanta::paradox {
namespace {

constexpr std::size_t kProblemLimit = 200;

std::string nameOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class Report {
public:
  void add(const std::string &file, const std::string &what) {
    if (lines.size() < kProblemLimit) lines.push_back(nameOf(file) + ": " + what);
  }
  std::vector<std::string> lines;
};

struct ChainBlock {
  std::uint16_t number = 0;
  int count = 0;
};

// Walks the chain and the free list of a block file, checking links and counters; hands every
// live record to `record` and returns the chain's blocks in order.
template <class OnRecord>
std::vector<ChainBlock> walk(BlockFile &file, const std::string &path, Report &report,
                             OnRecord &&record, std::uint64_t fileSize) {
  std::vector<ChainBlock> chain;
  const BlockCounters &c = file.counters;
  std::set<std::uint16_t> seen;
  std::uint16_t previous = 0;
  std::uint64_t records = 0;
  for (std::uint16_t number = c.firstBlock; number != 0;) {
    if (number > c.fileBlocks || !seen.insert(number).second) {
      report.add(path, "цепочка блоков ведёт на блок " + std::to_string(number) +
                           (number > c.fileBlocks ? " вне файла" : " повторно"));
      break;
    }
    auto block = file.readBlock(number);
    if (!block) {
      report.add(path, "блок " + std::to_string(number) + ": " + block.status().message());
      break;
    }
    if (bytes::getU16le(block->data() + 2) != previous)
      report.add(path, "блок " + std::to_string(number) + ": неверная ссылка на предыдущий блок");
    const int last = bytes::getS16le(block->data() + 4);
    if (last < 0 || last % file.recordSize() != 0 || last / file.recordSize() >= file.capacity())
      report.add(path, "блок " + std::to_string(number) + ": неверное число записей");
    const int n = blockRecordCount(block->data(), file.recordSize(), file.blockSize());
    if (n == 0) report.add(path, "пустой блок " + std::to_string(number) + " в цепочке");
    for (int i = 0; i < n; ++i)
      record(number, std::span<const std::uint8_t>(recordAt(*block, i, file.recordSize()),
                                                   static_cast<std::size_t>(file.recordSize())));
    records += static_cast<std::uint64_t>(n);
    chain.push_back({number, n});
    previous = number;
    number = bytes::getU16le(block->data());
  }
  if (chain.empty() ? c.firstBlock != 0 || c.lastBlock != 0 : previous != c.lastBlock)
    report.add(path, "последний блок цепочки не совпадает с заголовком");
  if (records != c.records)
    report.add(path, "в заголовке " + std::to_string(c.records) + " записей, в блоках " +
                         std::to_string(records));
  if (chain.size() != c.usedBlocks)
    report.add(path, "в заголовке " + std::to_string(c.usedBlocks) + " занятых блоков, в цепочке " +
                         std::to_string(chain.size()));
  std::size_t free = 0;
  for (std::uint16_t number = c.firstFreeBlock; number != 0;) {
    if (number > c.fileBlocks || !seen.insert(number).second) {
      report.add(path, "список свободных блоков ведёт на блок " + std::to_string(number));
      break;
    }
    auto block = file.readBlock(number);
    if (!block) break;
    ++free;
    number = bytes::getU16le(block->data());
  }
  if (chain.size() + free != c.fileBlocks)
    report.add(path, "блоков в файле " + std::to_string(c.fileBlocks) + ", занятых и свободных " +
                         std::to_string(chain.size() + free));
  const std::uint64_t expected =
      static_cast<std::uint64_t>(file.headerSize()) +
      static_cast<std::uint64_t>(c.fileBlocks) * static_cast<std::uint64_t>(file.blockSize());
  if (fileSize > expected ||
      (c.fileBlocks > 0 && fileSize + static_cast<std::uint64_t>(file.blockSize()) <= expected))
    report.add(path, "размер файла " + std::to_string(fileSize) + " не соответствует числу блоков");
  return chain;
}

// Level 1 of a tree must list the parent's chain blocks with their first keys and counts.
void checkTree(ByteStore &tree, const std::string &treePath, BlockFile &parent,
               const std::vector<ChainBlock> &chain, int keySize, Report &report) {
  BlockFile treeFile(tree, treePath);
  if (Status s = treeFile.load(); !s) {
    report.add(treePath, s.message());
    return;
  }
  std::vector<TreeEntry> level1;
  bool readable = true;
  auto read = [&](std::uint16_t n) {
    auto block = treeFile.readBlock(n);
    if (!block) {
      readable = false;
      return std::vector<std::uint8_t>();
    }
    return std::move(*block);
  };
  if (!collectLevel1(treeFile.counters.rootBlock, treeFile.counters.levels, keySize, read,
                     level1) ||
      !readable) {
    report.add(treePath, "дерево индекса не читается");
    return;
  }
  if (level1.size() != chain.size()) {
    report.add(treePath, "в дереве " + std::to_string(level1.size()) + " блоков, в цепочке " +
                             std::to_string(chain.size()));
    return;
  }
  // Upper levels: each entry carries its child's first key and the sum of its counts.
  std::uint32_t entries = 0;
  std::function<bool(std::uint16_t, int, std::vector<std::uint8_t> &, std::uint64_t &)> verify =
      [&](std::uint16_t number, int level, std::vector<std::uint8_t> &firstKey,
          std::uint64_t &total) -> bool {
    auto block = treeFile.readBlock(number);
    if (!block) return false;
    const int entrySize = keySize + 6;
    const int n = blockRecordCount(block->data(), entrySize, treeFile.blockSize());
    entries += static_cast<std::uint32_t>(n);
    total = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint8_t *e = block->data() + 6 + i * entrySize;
      if (i == 0) firstKey.assign(e, e + keySize);
      const std::uint32_t count = decodeShort(e + keySize + 2);
      if (level > 1) {
        std::vector<std::uint8_t> childKey;
        std::uint64_t childTotal = 0;
        if (!verify(decodeShort(e + keySize), level - 1, childKey, childTotal)) return false;
        if (childTotal != count || !std::equal(childKey.begin(), childKey.end(), e))
          report.add(treePath, "элемент уровня " + std::to_string(level) + " в блоке " +
                                   std::to_string(number) + " не соответствует блоку " +
                                   std::to_string(decodeShort(e + keySize)));
      }
      total += count;
    }
    return true;
  };
  if (treeFile.counters.levels > 0) {
    std::vector<std::uint8_t> rootKey;
    std::uint64_t rootTotal = 0;
    if (verify(treeFile.counters.rootBlock, treeFile.counters.levels, rootKey, rootTotal) &&
        entries != treeFile.counters.records)
      report.add(treePath, "в заголовке " + std::to_string(treeFile.counters.records) +
                               " элементов дерева, в блоках " + std::to_string(entries));
  }
  for (std::size_t i = 0; i < chain.size(); ++i) {
    if (level1[i].block != chain[i].number ||
        level1[i].count != static_cast<std::uint32_t>(chain[i].count)) {
      report.add(treePath, "элемент " + std::to_string(i + 1) + " дерева не соответствует блоку " +
                               std::to_string(chain[i].number));
      continue;
    }
    auto block = parent.readBlock(chain[i].number);
    if (block && !std::equal(level1[i].key.begin(), level1[i].key.end(), block->begin() + 6))
      report.add(treePath,
                 "первый ключ блока " + std::to_string(chain[i].number) + " в дереве устарел");
  }
}

} // namespace

Result<std::vector<std::string>> checkTable(FileSystem &fs, const std::string &directory,
                                            const std::string &name,
                                            const std::vector<std::string> &passwords) {
  auto familyResult = describeFamily(fs, directory, name, passwords);
  if (!familyResult) return familyResult.takeStatus();
  TableFamily &family = *familyResult;
  const TableLayout &t = *family.layout;
  Report report;
  for (const std::string &p : family.problems)
    report.add(family.dbPath, p);

  auto openView = [&](const std::string &path, std::unique_ptr<File> &file,
                      std::unique_ptr<PageOverlay> &view) -> Status {
    auto f = fs.open(path, OpenMode::kReadOnly);
    if (!f) return f.takeStatus();
    file = std::move(*f);
    auto v = PageOverlay::over(*file);
    if (!v) return v.takeStatus();
    view = std::move(*v);
    return {};
  };
  std::unique_ptr<File> dbFile;
  std::unique_ptr<PageOverlay> dbView;
  if (Status s = openView(family.dbPath, dbFile, dbView); !s) return s;
  BlockFile db(*dbView, family.dbPath);
  if (Status s = db.load(); !s) return s;

  std::vector<std::vector<std::uint8_t>> records;
  std::map<std::vector<std::uint8_t>, std::uint16_t> blockOfKey;
  const auto dbChain = walk(
      db, family.dbPath, report,
      [&](std::uint16_t block, std::span<const std::uint8_t> r) {
        records.emplace_back(r.begin(), r.end());
        if (t.keyed())
          blockOfKey[std::vector<std::uint8_t>(r.begin(), r.begin() + t.keySize)] = block;
      },
      dbView->size());
  if (t.keyed())
    for (std::size_t i = 1; i < records.size(); ++i)
      if (t.order.compare(records[i - 1], records[i], t.keyParts) >= 0)
        report.add(family.dbPath, "записи " + std::to_string(i) + " и " + std::to_string(i + 1) +
                                      " не в порядке первичного ключа");

  if (t.keyed() && !family.pxPath.empty()) {
    std::unique_ptr<File> pxFile;
    std::unique_ptr<PageOverlay> pxView;
    if (Status s = openView(family.pxPath, pxFile, pxView); !s)
      report.add(family.pxPath, s.message());
    else
      checkTree(*pxView, family.pxPath, db, dbChain, t.keySize, report);
  }

  if (t.hasBlobs() && !family.mbPath.empty()) {
    std::unique_ptr<File> mbFile;
    std::unique_ptr<PageOverlay> mbView;
    if (Status s = openView(family.mbPath, mbFile, mbView); !s) {
      report.add(family.mbPath, s.message());
    } else {
      std::unique_ptr<EncryptedBlobStore> cipher;
      ByteStore *view = mbView.get();
      if (t.checkValue != 0) {
        cipher = std::make_unique<EncryptedBlobStore>(*mbView, t.checkValue);
        view = cipher.get();
      }
      if (mbView->size() % 4096 != 0) report.add(family.mbPath, "размер файла не кратен 4096");
      std::set<std::uint32_t> references;
      for (std::size_t i = 0; i < records.size(); ++i)
        for (const Field &f : t.fields) {
          if (!isBlobType(f.type)) continue;
          const BlobRef ref = readBlobTrailer(f, records[i].data() + f.offset);
          if (ref.external() && !references.insert(ref.offsetIndex).second)
            report.add(family.mbPath, "запись " + std::to_string(i + 1) + ", поле " + f.name +
                                          ": значение общее с другой записью");
          auto value = readStoredBlob(*view, f, records[i].data() + f.offset);
          if (!value)
            report.add(family.mbPath, "запись " + std::to_string(i + 1) + ", поле " + f.name +
                                          ": " + value.status().toString());
        }
    }
  }

  for (const FamilyIndex &index : family.indexes) {
    const IndexLayout &il = index.layout;
    std::unique_ptr<File> xFile, yFile;
    std::unique_ptr<PageOverlay> xView, yView;
    if (Status s = openView(index.xPath, xFile, xView); !s) {
      report.add(index.xPath, s.message());
      continue;
    }
    BlockFile x(*xView, index.xPath);
    if (Status s = x.load(); !s) {
      report.add(index.xPath, s.message());
      continue;
    }
    std::vector<std::vector<std::uint8_t>> entries;
    const auto xChain = walk(
        x, index.xPath, report,
        [&](std::uint16_t, std::span<const std::uint8_t> r) {
          entries.emplace_back(r.begin(), r.end());
        },
        xView->size());
    for (std::size_t i = 1; i < entries.size(); ++i)
      if (t.order.compare(entries[i - 1], entries[i], il.keyParts) >= 0)
        report.add(index.xPath, "элементы " + std::to_string(i) + " и " + std::to_string(i + 1) +
                                    " не в порядке индекса");
    // Contents: exactly one entry per record, with the right values and hint.
    std::vector<std::vector<std::uint8_t>> expected;
    for (const auto &r : records)
      expected.push_back(
          indexRecord(t, il, r.data(),
                      blockOfKey[std::vector<std::uint8_t>(r.begin(), r.begin() + t.keySize)]));
    auto sortedEntries = entries;
    std::sort(expected.begin(), expected.end());
    std::sort(sortedEntries.begin(), sortedEntries.end());
    if (expected != sortedEntries) {
      std::size_t differing = 0;
      std::vector<std::vector<std::uint8_t>> missing;
      std::set_symmetric_difference(expected.begin(), expected.end(), sortedEntries.begin(),
                                    sortedEntries.end(), std::back_inserter(missing));
      differing = missing.size();
      report.add(index.xPath, "индекс расходится с таблицей (" + std::to_string(differing) +
                                  " несовпадающих элементов, с учётом Blk Num)");
    }
    if (Status s = openView(index.yPath, yFile, yView); !s)
      report.add(index.yPath, s.message());
    else
      checkTree(*yView, index.yPath, x, xChain, il.sortKeySize, report);
  }
  return report.lines;
}

} // namespace velanta::paradox
