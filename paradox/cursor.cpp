#include "paradox/cursor.h"

#include "paradox/codec.h"
#include "paradox/table_impl.h"

#include <algorithm>
#include <cstring>

namespace velanta::paradox {

class CursorImpl {
public:
  CursorImpl(TableImpl &table, int indexNumber) : table_(table), indexNumber_(indexNumber) {
    record_.resize(table.data->recordSize());
    text_.resize(table.fields.size());
  }

  Status init() {
    auto order = table_.makeOrder(indexNumber_, rebuilt_);
    if (!order) return order.takeStatus();
    order_ = std::move(order).value();
    lo_ = 0;
    hi_ = order_->size();
    return first();
  }

  // The first key field of the cursor's order, as a table field.
  Result<const Field *> firstKeyField() const {
    if (indexNumber_ >= 0) {
      const IndexInfo &index = table_.indexes[static_cast<std::size_t>(indexNumber_)];
      return &table_.fields[static_cast<std::size_t>(index.keyFields.front())];
    }
    if (table_.info.keyFieldCount > 0) return &table_.fields.front();
    return Status::error(ErrorCode::kNoSuchIndex, {table_.info.fileName, "у таблицы нет ключа"});
  }

  Status encodeBound(const Field &field, const Value &value, std::vector<std::uint8_t> &out) {
    out.assign(static_cast<std::size_t>(field.width), 0);
    if (const auto *text = std::get_if<Text>(&value); text && table_.fromAnsi != nullptr) {
      std::string converted(text->bytes);
      for (char &c : converted)
        c = static_cast<char>((*table_.fromAnsi)[static_cast<unsigned char>(c)]);
      return encodeValue(field, Text{converted}, out);
    }
    return encodeValue(field, value, out);
  }

  Status setRange(const Value &from, const Value &to) {
    auto field = firstKeyField();
    if (!field) return field.takeStatus();
    std::vector<std::uint8_t> fromKey, toKey;
    if (auto status = encodeBound(**field, from, fromKey); !status) return status;
    if (auto status = encodeBound(**field, to, toKey); !status) return status;
    // A descending first field runs from the greatest value down: the bounds trade places.
    if (indexNumber_ >= 0 &&
        table_.indexes[static_cast<std::size_t>(indexNumber_)].descending.front())
      std::swap(fromKey, toKey);
    return applyRange(std::move(fromKey), std::move(toKey));
  }

  Status applyRange(std::vector<std::uint8_t> fromKey, std::vector<std::uint8_t> toKey) {
    auto lo = order_->seek(fromKey.data(), false);
    if (!lo) return lo.takeStatus();
    auto hi = order_->seek(toKey.data(), true);
    if (!hi) return hi.takeStatus();
    fromKey_ = std::move(fromKey);
    toKey_ = std::move(toKey);
    ranged_ = true;
    lo_ = *lo;
    hi_ = std::max(*hi, *lo);
    return first();
  }

  void clearRange() {
    ranged_ = false;
    const std::uint64_t current = hasCurrent_ ? position_ : 0;
    lo_ = 0;
    hi_ = order_->size();
    if (hasCurrent_)
      (void)moveToPosition(current);
    else
      (void)first();
  }

  std::uint64_t count() const { return hi_ - lo_; }

  Status first() {
    if (count() == 0) return becomeEmpty();
    auto status = moveToPosition(lo_);
    bof_ = true;
    eof_ = false;
    return status;
  }

  Status last() {
    if (count() == 0) return becomeEmpty();
    auto status = moveToPosition(hi_ - 1);
    bof_ = false;
    eof_ = true;
    return status;
  }

  Status moveBy(std::int64_t delta) {
    if (count() == 0) return becomeEmpty();
    if (!hasCurrent_) return delta >= 0 ? first() : last();
    if (delta == 0) return {};
    const auto current = static_cast<std::int64_t>(position_);
    const std::int64_t target = current + delta;
    if (target < static_cast<std::int64_t>(lo_)) {
      auto status = position_ == lo_ ? Status() : moveToPosition(lo_);
      bof_ = true;
      eof_ = false;
      return status;
    }
    if (target >= static_cast<std::int64_t>(hi_)) {
      auto status = position_ == hi_ - 1 ? Status() : moveToPosition(hi_ - 1);
      eof_ = true;
      bof_ = false;
      return status;
    }
    return moveToPosition(static_cast<std::uint64_t>(target));
  }

  Status moveTo(std::uint64_t recordNumber) {
    if (count() == 0) return becomeEmpty();
    const std::uint64_t number = std::clamp<std::uint64_t>(recordNumber, 1, count());
    return moveToPosition(lo_ + number - 1);
  }

  bool bof() const { return bof_; }
  bool eof() const { return eof_; }
  std::uint64_t recordNumber() const { return hasCurrent_ ? position_ - lo_ + 1 : 0; }
  bool rebuilt() const { return rebuilt_; }

  Value value(int field) {
    if (!hasCurrent_ || field < 0 || field >= static_cast<int>(table_.fields.size()))
      return Blank{};
    const Field &f = table_.fields[static_cast<std::size_t>(field)];
    const std::span<const std::uint8_t> stored(record_.data() + f.offset,
                                               static_cast<std::size_t>(f.width));
    // Returned as prvalues throughout, so the value is built in place.
    if (table_.toAnsi == nullptr || f.type != FieldType::kAlpha) return decodeValue(f, stored);
    const auto *chars = reinterpret_cast<const char *>(stored.data());
    const std::size_t length = ::strnlen(chars, stored.size());
    if (length == 0) return Blank{};
    std::string &scratch = text_[static_cast<std::size_t>(field)];
    scratch.assign(chars, length);
    for (char &c : scratch)
      c = static_cast<char>((*table_.toAnsi)[static_cast<unsigned char>(c)]);
    return Text{scratch};
  }

  Status readBlob(int field, std::vector<std::uint8_t> &out) {
    out.clear();
    if (!hasCurrent_) return Status::error(ErrorCode::kNoCurrentRecord, {table_.info.fileName});
    if (field < 0 || field >= static_cast<int>(table_.fields.size()) ||
        !isBlobType(table_.fields[static_cast<std::size_t>(field)].type))
      return Status::error(ErrorCode::kInvalidArgument, {table_.info.fileName, "не BLOB-поле"});
    const Value v = value(field);
    const auto *blob = std::get_if<Blob>(&v);
    if (blob == nullptr) return {}; // blank: no bytes
    if (table_.blobs == nullptr) {
      if (blob->isInline()) return readInlineBlob(*blob, out);
      return Status::error(ErrorCode::kBlobFileMissing, {table_.stem + ".MB"});
    }
    return table_.blobs->read(*blob, out);
  }

  std::span<const std::uint8_t> recordBytes() const {
    return hasCurrent_ ? std::span<const std::uint8_t>(record_) : std::span<const std::uint8_t>();
  }

  bool ranged() const { return ranged_; }
  int fieldIndex(std::string_view name) const { return table_.fieldIndex(name); }

private:
  Status becomeEmpty() {
    hasCurrent_ = false;
    bof_ = eof_ = true;
    return {};
  }

  Status moveToPosition(std::uint64_t position) {
    // Stepping to the next record of the same block needs no lookup in the order, as long as
    // the table's cache still holds that block where it was.
    if (hasCurrent_ && position == position_ + 1 && run_.following > 0 &&
        runGeneration_ == table_.data->generation()) {
      run_.record += record_.size();
      --run_.following;
      return takeRecord(run_.record, position);
    }
    run_ = {};
    auto run = order_->fetchRun(position);
    if (!run && run.status().code() == ErrorCode::kIndexOutOfDate && !rebuilt_) {
      // The index disagrees with the table: order by an index built from the data instead.
      if (auto status = switchToRebuiltOrder(); !status) return status;
      position = std::clamp<std::uint64_t>(position, lo_, hi_ == 0 ? 0 : hi_ - 1);
      if (count() == 0) return becomeEmpty();
      run = order_->fetchRun(position);
    }
    if (!run) {
      hasCurrent_ = false;
      return run.takeStatus();
    }
    run_ = *run;
    runGeneration_ = table_.data->generation();
    return takeRecord(run_.record, position);
  }

  Status takeRecord(const std::uint8_t *record, std::uint64_t position) {
    std::copy_n(record, record_.size(), record_.begin());
    position_ = position;
    hasCurrent_ = true;
    bof_ = eof_ = false;
    return {};
  }

  Status switchToRebuiltOrder() {
    auto order = table_.rebuildOrder(indexNumber_);
    if (!order) return order.takeStatus();
    IndexInfo &index = table_.indexes[static_cast<std::size_t>(indexNumber_)];
    index.inStep = false;
    if (index.problem.empty()) index.problem = "индекс не совпадает с данными таблицы";
    order_ = std::move(order).value();
    rebuilt_ = true;
    lo_ = 0;
    hi_ = order_->size();
    if (ranged_) {
      auto lo = order_->seek(fromKey_.data(), false);
      auto hi = order_->seek(toKey_.data(), true);
      if (!lo) return lo.takeStatus();
      if (!hi) return hi.takeStatus();
      lo_ = *lo;
      hi_ = std::max(*hi, *lo);
    }
    return {};
  }

  TableImpl &table_;
  int indexNumber_;
  std::unique_ptr<Order> order_;
  bool rebuilt_ = false;
  bool ranged_ = false;
  std::vector<std::uint8_t> fromKey_, toKey_;
  std::uint64_t lo_ = 0, hi_ = 0, position_ = 0;
  bool hasCurrent_ = false, bof_ = true, eof_ = true;
  std::vector<std::uint8_t> record_;
  std::vector<std::string> text_;
  // The current record where the order found it, with the rest of its block; valid while the
  // table file's generation is runGeneration_.
  RecordRun run_;
  std::uint64_t runGeneration_ = 0;
};

Result<std::unique_ptr<Cursor>> TableImpl::makeCursor(int indexNumber) {
  if (Status status = followChanges(); !status) return status;
  auto impl = std::make_unique<CursorImpl>(*this, indexNumber);
  if (auto status = impl->init(); !status) return status;
  return std::unique_ptr<Cursor>(new Cursor(std::move(impl)));
}

Cursor::Cursor(std::unique_ptr<CursorImpl> impl) : impl_(std::move(impl)) {}
Cursor::~Cursor() = default;

Status Cursor::setRange(const Value &from, const Value &to) {
  return impl_->setRange(from, to);
}
void Cursor::clearRange() {
  impl_->clearRange();
}
bool Cursor::hasRange() const {
  return impl_->ranged();
}
std::uint64_t Cursor::recordCount() const {
  return impl_->count();
}
Status Cursor::first() {
  return impl_->first();
}
Status Cursor::last() {
  return impl_->last();
}
Status Cursor::next() {
  return impl_->moveBy(1);
}
Status Cursor::prior() {
  return impl_->moveBy(-1);
}
Status Cursor::moveBy(std::int64_t delta) {
  return impl_->moveBy(delta);
}
Status Cursor::moveTo(std::uint64_t recordNumber) {
  return impl_->moveTo(recordNumber);
}
bool Cursor::bof() const {
  return impl_->bof();
}
bool Cursor::eof() const {
  return impl_->eof();
}
std::uint64_t Cursor::recordNumber() const {
  return impl_->recordNumber();
}
Value Cursor::value(int field) {
  return impl_->value(field);
}
Result<Value> Cursor::value(std::string_view fieldName) {
  const int field = impl_->fieldIndex(fieldName);
  if (field < 0)
    return Status::error(ErrorCode::kInvalidArgument,
                         {"поле " + std::string(fieldName) + " не найдено"});
  return impl_->value(field);
}
Status Cursor::readBlob(int field, std::vector<std::uint8_t> &out) {
  return impl_->readBlob(field, out);
}
std::span<const std::uint8_t> Cursor::recordBytes() const {
  return impl_->recordBytes();
}
bool Cursor::usesRebuiltIndex() const {
  return impl_->rebuilt();
}

} // namespace velanta::paradox
