// TEMPORARY: the engine's public interface does not yet offer changing a record in place
// (edit/post, insert, delete on a cursor). Until it does, every change is refused with the
// engine's "not supported" error, so nothing is ever written half-way or lost silently:
// the record stays in edit and the user sees why. Replace the three bodies with the
// engine's cursor operations when they land.
#include "toolkit/table_writes.h"

#include "paradox/cursor.h"
#include "paradox/table.h"

namespace toolkit::detail {

namespace paradox = velanta::paradox;

namespace {
paradox::Status notYet(paradox::Table &table) {
  return paradox::Status::error(paradox::ErrorCode::kNotSupported, {table.info().fileName});
}
} // namespace

paradox::Status storeEdit(paradox::Table &table, paradox::Cursor &, const FieldChanges &) {
  return notYet(table);
}

paradox::Status storeInsert(paradox::Table &table, paradox::Cursor &, const FieldChanges &) {
  return notYet(table);
}

paradox::Status removeCurrent(paradox::Table &table, paradox::Cursor &) {
  return notYet(table);
}

} // namespace toolkit::detail
