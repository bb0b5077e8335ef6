#include "paradox/table_editor.h"

#include "paradox/table.h"
#include "paradox/table_impl.h"

#include <charconv>
#include <cstdio>

namespace velanta::paradox {
namespace {

Status badText(const Field &f) {
  return Status(ErrorCode::kInvalidArgument,
                "Поле " + f.name + ": значение не подходит к типу поля.");
}

// A value given as text for a non-text field.
Result<Value> parseValue(const Field &f, const std::string &text) {
  switch (f.type) {
  case FieldType::kShort:
  case FieldType::kLong:
  case FieldType::kAutoIncrement: {
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return badText(f);
    return Value(v);
  }
  case FieldType::kNumber:
  case FieldType::kMoney: {
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return badText(f);
    return Value(v);
  }
  case FieldType::kLogical:
    if (text == "1" || text == "true") return Value(true);
    if (text == "0" || text == "false") return Value(false);
    return badText(f);
  case FieldType::kDate: {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return badText(f);
    return Value(Date::fromYmd(y, m, d));
  }
  case FieldType::kBcd: {
    auto bcd = Bcd::parse(text, f.size);
    if (!bcd) return badText(f);
    return Value(*bcd);
  }
  default:
    return badText(f);
  }
}

} // namespace

Result<std::unique_ptr<TableEditor>> TableEditor::open(const std::string &directory,
                                                       const std::string &name,
                                                       const WriterOptions &options) {
  auto writer = TableWriter::open(directory, name, options);
  if (!writer) return writer.takeStatus();
  return std::unique_ptr<TableEditor>(new TableEditor(std::move(*writer)));
}

Result<std::unique_ptr<TableEditor>> TableEditor::open(Table &table) {
  const TableImpl &impl = table.impl();
  if (table.readOnly()) return Status::error(ErrorCode::kTableReadOnly, {table.info().fileName});
  WriterOptions options;
  options.passwords = impl.options.passwords;
  options.fileSystem = impl.options.fileSystem;
  return open(impl.directory, table.info().fileName, options);
}

Status TableEditor::apply(RecordValues &record, const FieldInputs &changes) const {
  const TableLayout &layout = record.layout();
  for (const auto &[number, input] : changes) {
    if (number < 0 || number >= static_cast<int>(layout.fields.size()))
      return Status(ErrorCode::kInvalidArgument,
                    "Нет поля с номером " + std::to_string(number) + ".");
    const Field &f = layout.fields[static_cast<std::size_t>(number)];
    Status s;
    if (input.blank)
      s = record.setBlank(f.name);
    else if (f.type == FieldType::kAlpha || f.type == FieldType::kBytes || isBlobType(f.type))
      s = record.setText(f.name, input.bytes);
    else if (auto value = parseValue(f, input.bytes); !value)
      s = value.takeStatus();
    else
      s = record.set(f.name, *value);
    if (!s) return s;
  }
  return {};
}

Status TableEditor::edit(std::span<const std::uint8_t> current) {
  if (Status s = writer_->lockRecord(current); !s) return s;
  editing_.assign(current.begin(), current.end());
  return {};
}

Result<std::vector<std::uint8_t>> TableEditor::post(std::span<const std::uint8_t> original,
                                                    const FieldInputs &changes) {
  RecordValues record = writer_->editRecord(original);
  if (Status s = apply(record, changes); !s)
    return s; // the edit goes on: the user can correct the value
  auto written = writer_->update(original, record);
  if (written) cancel();
  return written;
}

Result<std::vector<std::uint8_t>> TableEditor::insert(const FieldInputs &values,
                                                      std::span<const std::uint8_t> current) {
  RecordValues record = writer_->newRecord();
  if (Status s = apply(record, values); !s) return s;
  return writer_->insertBefore(record, current);
}

Status TableEditor::remove(std::span<const std::uint8_t> current) {
  const bool own = editing_.empty();
  if (own)
    if (Status s = writer_->lockRecord(current); !s) return s;
  Status s = writer_->remove(current);
  if (own || s) cancel();
  return s;
}

void TableEditor::cancel() {
  writer_->unlockRecord();
  editing_.clear();
}

} // namespace velanta::paradox
