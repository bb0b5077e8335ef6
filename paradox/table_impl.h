// What an open table holds: its files, header, fields, text conversion and the secondary
// indexes found beside it. Internal to the engine (the writing side builds on it).
#pragma once

#include "paradox/blob_file.h"
#include "paradox/block_reader.h"
#include "paradox/codepage.h"
#include "paradox/collation.h"
#include "paradox/index_tree.h"
#include "paradox/order.h"
#include "paradox/table.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velanta::paradox {

// A secondary index as found on disk.
struct IndexFiles {
  std::string indexPath; // .Xnn / .XGn
  std::string treePath;  // .Ynn / .YGn, empty when missing
  Header header;         // of the index file
  int indexedFieldCount = 0;
};

class TableImpl {
public:
  FileSystem *fs = nullptr;
  std::string directory;
  std::string stem; // file name without extension, as found
  OpenOptions options;
  bool readOnly = false;

  std::unique_ptr<BlockReader> data;
  std::vector<Field> fields;
  TableInfo info;
  Collation collation = Collation::kBytes;
  const ByteMap *toAnsi = nullptr;   // OEM -> 1251 for text read, nullptr: unchanged
  const ByteMap *fromAnsi = nullptr; // 1251 -> OEM for text handed in

  std::unique_ptr<BlobFile> blobs;        // nullptr when the table has no blob fields
  std::unique_ptr<IndexTree> primaryTree; // nullptr when missing or out of step
  std::string primaryTreeProblem;

  std::vector<IndexInfo> indexes;
  std::vector<IndexFiles> indexFiles; // parallel to indexes

  // The data file's fixed header as read at opening: every change by a writer (ours or
  // another program's) rewrites record counts and change counters there.
  std::vector<std::uint8_t> headerAtOpening;
  // The same bytes when `data` last read the header (followChanges() renews it).
  std::vector<std::uint8_t> headerInUse;

  int fieldIndex(std::string_view name) const;
  // The table's block chain, walked on first use and again after followChanges() found the
  // table changed. Orders keep the chain they were made with.
  Result<std::shared_ptr<ChainedFile>> chain();
  // When a writer (this table's editor or another program) has changed the data file since
  // its header was read: the header is read again and the chain walked anew on next use, so
  // that cursors opened from now on see the change. One small read.
  Status followChanges();
  // Leading primary-key fields as key fields of the table record.
  std::vector<KeyField> primaryKeyFields() const;
  // Key fields of a secondary index inside the table record.
  std::vector<KeyField> indexKeyFields(const IndexInfo &index) const;

  // The block chain of index indexNumber's file, opened as indexFile: walked once and shared
  // by the table's cursors while neither that file's header nor the table's has changed
  // since (every writer rewrites counts and change counters there).
  Result<std::vector<ChainBlock>> indexChain(int indexNumber, BlockReader &indexFile);
  // Whether index indexNumber was found in step with the table (IndexOrder::checkAll) since
  // its chain was last walked; the next walk forgets it.
  bool indexCheckedSinceWalk(int indexNumber) const;
  void markIndexChecked(int indexNumber);
  Result<std::unique_ptr<Order>> makeOrder(int indexNumber, bool &rebuilt);
  // A cursor in the table order (-1) or in index indexNumber's order, on its first record.
  Result<std::unique_ptr<Cursor>> makeCursor(int indexNumber);
  Result<std::unique_ptr<Order>> rebuildOrder(int indexNumber);

  Status openCompanions();
  void findIndexes(const std::vector<std::string> &names);

private:
  struct WalkedChain {
    std::vector<std::uint8_t> stamp; // the index's and the table's fixed headers at the walk
    std::vector<ChainBlock> blocks;
    bool checked = false; // found in step with the table as these headers stand
  };

  std::shared_ptr<ChainedFile> chain_;
  std::vector<WalkedChain> walkedIndexChains_; // by index number
};

} // namespace velanta::paradox
