#include "paradox/table.h"

namespace velanta::paradox {

class TableImpl {};
class CursorImpl {};

Table::Table(std::unique_ptr<TableImpl> impl) : impl_(std::move(impl)) {}
Table::~Table() = default;

Result<std::unique_ptr<Table>> Table::open(const std::string &directory, const std::string &name,
                                           const OpenOptions &) {
  return Status::error(ErrorCode::kNotSupported, {joinPath(directory, name)});
}

} // namespace velanta::paradox
