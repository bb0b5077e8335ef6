// Storing a table's changed records through the table engine: the record in edit, a new
// record, the removal of the current record. Kept apart from TTable so that the data set's
// bookkeeping does not depend on how the engine takes a record.
#pragma once

#include "paradox/status.h"

#include <QByteArray>

#include <map>

namespace velanta::paradox {
class Table;
class Cursor;
} // namespace velanta::paradox

namespace toolkit::detail {

// A value written into a record: stored bytes (1251 text, or a blob's bytes), or blank.
struct FieldChange {
  bool blank = false;
  QByteArray bytes;
};
using FieldChanges = std::map<int, FieldChange>; // by 0-based field number

// Each leaves `cursor` on the record written (for a removal: where the engine stands).
velanta::paradox::Status storeEdit(velanta::paradox::Table &table, velanta::paradox::Cursor &cursor,
                                   const FieldChanges &changes);
velanta::paradox::Status storeInsert(velanta::paradox::Table &table,
                                     velanta::paradox::Cursor &cursor, const FieldChanges &changes);
velanta::paradox::Status removeCurrent(velanta::paradox::Table &table,
                                       velanta::paradox::Cursor &cursor);

} // namespace toolkit::detail
