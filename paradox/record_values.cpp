#include "paradox/record_values.h"

#include "paradox/codec.h"

#include <cstring>

namespace velanta::paradox {

RecordValues::RecordValues(std::shared_ptr<const TableLayout> layout)
    : layout_(std::move(layout)), stored_(static_cast<std::size_t>(layout_->recordSize), 0) {}

RecordValues::RecordValues(std::shared_ptr<const TableLayout> layout,
                           std::vector<std::uint8_t> stored)
    : layout_(std::move(layout)), stored_(std::move(stored)) {
  stored_.resize(static_cast<std::size_t>(layout_->recordSize), 0);
}

Result<int> RecordValues::locate(std::string_view field) const {
  const int pos = layout_->fieldIndex(field);
  if (pos < 0)
    return Status(ErrorCode::kInvalidArgument,
                  "Поле " + std::string(field) + " не найдено в таблице.");
  return pos;
}

Status RecordValues::set(std::string_view field, const Value &value) {
  auto pos = locate(field);
  if (!pos) return pos.takeStatus();
  const Field &f = layout_->fields[static_cast<std::size_t>(*pos)];
  if (isBlobType(f.type)) {
    if (isBlank(value)) {
      blobs_[*pos] = std::string();
      return {};
    }
    if (const auto *text = std::get_if<Text>(&value)) return setText(field, text->bytes);
    return Status(ErrorCode::kInvalidArgument,
                  "Поле " + f.name + ": значение большого объекта задаётся байтами.");
  }
  if (const auto *text = std::get_if<Text>(&value);
      text && f.type == FieldType::kAlpha && text->bytes.find('\0') != std::string_view::npos)
    return Status(ErrorCode::kInvalidArgument,
                  "Поле " + f.name + ": текст содержит нулевой символ.");
  return encodeValue(f, value,
                     std::span(stored_).subspan(static_cast<std::size_t>(f.offset),
                                                static_cast<std::size_t>(f.width)));
}

Status RecordValues::setText(std::string_view field, std::string_view bytes) {
  auto pos = locate(field);
  if (!pos) return pos.takeStatus();
  const Field &f = layout_->fields[static_cast<std::size_t>(*pos)];
  if (isBlobType(f.type)) {
    blobs_[*pos] = std::string(bytes);
    return {};
  }
  if (f.type == FieldType::kBytes) {
    if (bytes.size() > static_cast<std::size_t>(f.width))
      return Status(ErrorCode::kInvalidArgument,
                    "Поле " + f.name + ": значение длиннее поля (" + std::to_string(bytes.size()) +
                        " при размере " + std::to_string(f.width) + ").");
    std::memset(stored_.data() + f.offset, 0, static_cast<std::size_t>(f.width));
    std::memcpy(stored_.data() + f.offset, bytes.data(), bytes.size());
    return {};
  }
  return set(field, Text{bytes});
}

} // namespace velanta::paradox
