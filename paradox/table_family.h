// The files of one table as the writing side and `velanta-tool check` see them: the .DB and its
// companions found without regard to case, the byte layout of records and of every maintained
// secondary index, and the reasons (if any) why the family cannot be kept in step safely.
#pragma once

#include "paradox/file.h"
#include "paradox/header.h"
#include "paradox/status.h"
#include "paradox/table_spec.h"

#include <memory>
#include <string>
#include <vector>

namespace velanta::paradox {

struct FamilyIndex {
  IndexLayout layout;
  std::string xPath, yPath;
};

struct TableFamily {
  std::string directory, dbPath, mbPath, pxPath; // empty when absent
  std::shared_ptr<TableLayout> layout;
  std::vector<FamilyIndex> indexes; // maintained ones
  Header dbHeader;
  // Why changes would leave the family out of step (stamps, missing companions, a sort order
  // we cannot reproduce); empty when the table can be changed.
  std::vector<std::string> problems;
  // What this engine cannot reproduce when changing the table (e.g. a collation it does not
  // model); the files themselves may be sound.
  std::vector<std::string> limitations;
};

// Hard failures (no such table, damaged header, no matching password, unknown field types)
// are errors; everything that only forbids changing the table goes to `problems`.
Result<TableFamily> describeFamily(FileSystem &fs, const std::string &directory,
                                   const std::string &name,
                                   const std::vector<std::string> &passwords);

Result<Header> readFileHeader(File &file);

} // namespace velanta::paradox
