#include "toolkit/table.h"

#include "toolkit/date_format.h"
#include "toolkit/exceptions.h"
#include "toolkit/session.h"
#include "toolkit/text_codec.h"

#include "paradox/cursor.h"
#include "paradox/table.h"
#include "paradox/table_editor.h"

#include <QDir>
#include <QFile>
#include <QTime>

#include <algorithm>
#include <vector>

namespace toolkit {

namespace paradox = velanta::paradox;
using paradox::ErrorCode;

namespace {

// A refusal of the engine: its own text with its context lines, or its code alone.
[[noreturn]] void raiseEngine(const paradox::Status &status) {
  const int code = int(status.code());
  const QString text = QString::fromUtf8(status.toString());
  throw EDBEngineError(code, text.isEmpty() ? QString::asprintf("BDE error $%.4x", code) : text);
}

void check(const paradox::Status &status) {
  if (!status.isOk()) raiseEngine(status);
}

bool needsPassword(ErrorCode code) {
  return code == ErrorCode::kInsufficientTableRights || code == ErrorCode::kInvalidPassword;
}

bool writingRefused(ErrorCode code) {
  return code == ErrorCode::kTableReadOnly || code == ErrorCode::kReadOnlyDirectory ||
         code == ErrorCode::kReadOnlyDatabase;
}

TFieldType toFieldType(paradox::FieldType type) {
  using paradox::FieldType;
  switch (type) {
  case FieldType::kAlpha:
    return ftString;
  case FieldType::kDate:
    return ftDate;
  case FieldType::kShort:
    return ftSmallint;
  case FieldType::kLong:
    return ftInteger;
  case FieldType::kMoney:
    return ftCurrency;
  case FieldType::kNumber:
    return ftFloat;
  case FieldType::kLogical:
    return ftBoolean;
  case FieldType::kMemo:
    return ftMemo;
  case FieldType::kBinary:
    return ftBlob;
  case FieldType::kFormattedMemo:
    return ftFmtMemo;
  case FieldType::kOle:
    return ftOle;
  case FieldType::kGraphic:
    return ftGraphic;
  case FieldType::kTime:
    return ftTime;
  case FieldType::kTimestamp:
    return ftDateTime;
  case FieldType::kAutoIncrement:
    return ftAutoInc;
  case FieldType::kBcd:
    return ftBCD;
  case FieldType::kBytes:
    return ftBytes;
  }
  return ftUnknown;
}

QDate toQDate(paradox::Date date) {
  int year = 0, month = 0, day = 0;
  date.toYmd(year, month, day);
  return QDate(year, month, day);
}

QString timeText(std::int32_t milliseconds) {
  return QTime::fromMSecsSinceStartOfDay(milliseconds).toString(QStringLiteral("HH:mm:ss"));
}

// The text of a stored value that is not a blob.
QString valueText(const paradox::Value &value) {
  struct Visitor {
    QString operator()(paradox::Blank) const { return {}; }
    QString operator()(paradox::Text text) const {
      return fromCp1251(QByteArrayView(text.bytes.data(), qsizetype(text.bytes.size())));
    }
    QString operator()(paradox::Bytes) const { return QStringLiteral("(Bytes)"); }
    QString operator()(std::int32_t number) const { return QString::number(number); }
    QString operator()(double number) const { return QString::number(number, 'g', 15); }
    QString operator()(bool flag) const {
      return flag ? QStringLiteral("True") : QStringLiteral("False");
    }
    QString operator()(const paradox::Bcd &bcd) const {
      return QString::fromStdString(bcd.toString());
    }
    QString operator()(paradox::Date date) const { return dateToStr(toQDate(date)); }
    QString operator()(paradox::Time time) const { return timeText(time.milliseconds); }
    QString operator()(paradox::Timestamp stamp) const {
      const auto day = std::int32_t(stamp.milliseconds / 86400000.0);
      const auto rest = std::int32_t(stamp.milliseconds - day * 86400000.0);
      return dateToStr(toQDate(paradox::Date{day})) + QLatin1Char(' ') + timeText(rest);
    }
    QString operator()(const paradox::Blob &) const { return {}; }
  };
  return std::visit(Visitor{}, value);
}

std::string toEngineText(const QString &text) {
  return toCp1251(text).toStdString();
}

} // namespace

// Follows the master's data source: its opening and closing, its moves and changes of its
// current record.
class TTable::MasterLink : public TDataLink {
public:
  explicit MasterLink(TTable &detail) : detail_(detail) {}
  void activeChanged() override { detail_.masterActivated(active()); }
  void dataSetChanged() override { detail_.masterChanged(); }
  void dataSetScrolled() override { detail_.masterChanged(); }
  void checkBrowseMode() override {
    if (detail_.active()) detail_.checkBrowseMode();
  }
  void recordChanged(TField *field) override {
    if (!field || detail_.isMasterField(field)) detail_.masterChanged();
  }

private:
  TTable &detail_;
};

TTable::TTable(QObject *owner) : TDataSet(owner) {}

TTable::~TTable() {
  masterLink_.reset();
  changes_.clear();
  modified_ = false;
  try {
    close();
  } catch (...) {
    // A control's failure while the table closes with its owner has no one left to tell.
  }
}

void TTable::setDatabaseName(const QString &name) {
  if (active()) databaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
  databaseName_ = name;
}

void TTable::setTableName(const QString &name) {
  if (active()) databaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
  tableName_ = name;
}

void TTable::setIndexName(const QString &name) {
  if (active()) databaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
  indexName_ = name;
}

void TTable::setReadOnly(bool readOnly) {
  if (active()) databaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
  readOnly_ = readOnly;
}

TDataSource *TTable::masterSource() const {
  return masterLink_ ? masterLink_->dataSource() : nullptr;
}

void TTable::setMasterSource(TDataSource *source) {
  if (source && source->dataSet() == this)
    databaseError(QStringLiteral("Circular datalinks are not allowed"));
  if (!source) {
    masterLink_.reset();
    if (active()) liftRange();
    return;
  }
  if (!masterLink_) masterLink_ = std::make_unique<MasterLink>(*this);
  masterLink_->setDataSource(source);
  // The link hears the master's notices before the master's own controls do.
  source->moveLinkToFront(masterLink_.get());
}

// ---- opening and closing ----

void TTable::open() {
  if (active()) return;
  Session().start();
  if (tableName_.isEmpty()) databaseError(QStringLiteral("Missing TableName property"));
  openTable();
  try {
    openCursors();
    buildFields();
    openEditor();
    if (masterLink_ && masterLink_->active()) applyRange(masterValue());
    check(cursor_->first());
    bof_ = true;
    eof_ = cursor_->recordCount() == 0;
  } catch (...) {
    releaseEngine();
    throw;
  }
  // The bound controls look up their fields now; one that misses its field closes us.
  try {
    setState(dsBrowse);
  } catch (...) {
    close();
    throw;
  }
}

std::string TTable::directoryPath() const {
  return QFile::encodeName(databaseName_.isEmpty() ? QDir::currentPath() : databaseName_)
      .toStdString();
}

std::string TTable::fileName() const {
  return QFile::encodeName(tableName_).toStdString();
}

void TTable::openTable() {
  const std::string directory = directoryPath();
  const std::string name = fileName();
  paradox::OpenOptions options;
  if (readOnly_) options.access = paradox::AccessMode::kReadOnly;
  for (;;) {
    options.passwords.clear();
    for (const QString &password : Session().passwords())
      options.passwords.push_back(toEngineText(password));
    auto opened = paradox::Table::open(directory, name, options);
    if (opened) {
      table_ = std::move(*opened);
      openedReadOnly_ = options.access == paradox::AccessMode::kReadOnly;
      passwords_ = options.passwords;
      return;
    }
    const ErrorCode code = opened.status().code();
    if (needsPassword(code)) {
      if (Session().getPassword()) continue;
      raiseEngine(
          paradox::Status::error(ErrorCode::kInsufficientTableRights, opened.status().context()));
    }
    if (writingRefused(code) && options.access == paradox::AccessMode::kReadWrite) {
      options.access = paradox::AccessMode::kReadOnly; // silently: browsing still works
      continue;
    }
    raiseEngine(opened.status());
  }
}

void TTable::openCursors() {
  const std::string index = indexName_.toStdString();
  auto cursor = table_->openCursor(index);
  if (!cursor) raiseEngine(cursor.status());
  auto reader = table_->openCursor(index);
  if (!reader) raiseEngine(reader.status());
  cursor_ = std::move(*cursor);
  reader_ = std::move(*reader);
  range_.reset();
}

void TTable::openEditor() {
  if (openedReadOnly_ || readOnly_) return;
  // A table the writing side refuses (an index out of step, say) can still be browsed.
  if (auto editor = paradox::TableEditor::open(*table_)) editor_ = std::move(*editor);
}

void TTable::reload(const std::vector<std::uint8_t> &record, int fallback) {
  const std::optional<QByteArray> range = range_;
  paradox::OpenOptions options;
  options.passwords = passwords_;
  auto opened = paradox::Table::open(directoryPath(), fileName(), options);
  if (!opened) raiseEngine(opened.status());
  reader_.reset();
  cursor_.reset();
  table_ = std::move(*opened);
  openCursors();
  if (range) applyRange(*range);
  check(cursor_->first());
  if (record.empty() || !seekRecord(record)) {
    const int count = recordCount();
    if (count > 0) moveCursorTo(std::clamp(fallback, 1, count));
  }
}

void TTable::followOtherWriters() {
  if (state() != dsBrowse || !table_) return;
  auto changed = table_->changedSinceOpening();
  if (!changed || !*changed) return;
  std::vector<std::uint8_t> record;
  if (cursor_->recordCount() > 0) {
    const auto bytes = cursor_->recordBytes();
    record.assign(bytes.begin(), bytes.end());
  }
  reload(record, currentNumber());
  notifyDataSetChanged();
}

bool TTable::seekRecord(const std::vector<std::uint8_t> &record) {
  check(cursor_->first());
  for (std::uint64_t n = 0, count = cursor_->recordCount(); n < count; ++n) {
    if (n > 0) check(cursor_->next());
    const auto bytes = cursor_->recordBytes();
    if (std::equal(bytes.begin(), bytes.end(), record.begin(), record.end())) return true;
  }
  return false;
}

void TTable::buildFields() {
  std::vector<TField *> fields;
  const auto &stored = table_->fields();
  for (std::size_t i = 0; i < stored.size(); ++i)
    fields.push_back(new TField(
        this, int(i),
        fromCp1251(QByteArrayView(stored[i].name.data(), qsizetype(stored[i].name.size()))),
        toFieldType(stored[i].type), stored[i].size));
  setFields(std::move(fields));
}

void TTable::close() {
  if (!active()) {
    releaseEngine();
    return;
  }
  changes_.clear(); // a pending edit is discarded, never written
  modified_ = false;
  try {
    setState(dsInactive);
  } catch (...) {
    releaseEngine();
    throw;
  }
  releaseEngine();
}

void TTable::releaseEngine() {
  setFields({});
  if (editor_) editor_->cancel(); // a record lock of a pending edit is given back
  editor_.reset();
  passwords_.clear();
  reader_.reset();
  cursor_.reset();
  table_.reset();
  range_.reset();
  openedReadOnly_ = false;
  bof_ = eof_ = true;
}

// ---- checks ----

void TTable::databaseError(const QString &text) const {
  throw EDatabaseError(QStringLiteral("%1: %2").arg(objectName(), text));
}

void TTable::checkActive() const {
  if (!active()) databaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TTable::checkModifiable() const {
  if (!canModify()) databaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TTable::checkEditing() const {
  if (state() != dsEdit && state() != dsInsert)
    databaseError(QStringLiteral("Dataset not in edit or insert mode"));
}

bool TTable::canModify() const {
  return active() && !readOnly_ && !openedReadOnly_ && !table_->readOnly() && editor_;
}

bool TTable::checkBrowseMode() {
  notifyCheckBrowseMode(); // details first: a failing post stops the move here
  if (state() != dsEdit && state() != dsInsert) return false;
  updateRecord(); // the bound controls write what they hold
  if (modified_) {
    post();
    return false;
  }
  const bool dropped = state() == dsInsert;
  cancel();
  return dropped;
}

// ---- navigation ----

int TTable::currentNumber() const {
  return cursor_ ? int(cursor_->recordNumber()) : 0;
}

void TTable::moveCursorTo(int number) {
  if (number >= 1) check(cursor_->moveTo(std::uint64_t(number)));
}

void TTable::first() {
  checkActive();
  followOtherWriters();
  checkBrowseMode();
  check(cursor_->first());
  bof_ = true;
  eof_ = recordCount() == 0;
  notifyScrolled();
}

void TTable::last() {
  checkActive();
  followOtherWriters();
  checkBrowseMode();
  check(cursor_->last());
  eof_ = true;
  bof_ = recordCount() == 0;
  notifyScrolled();
}

int TTable::moveBy(int distance) {
  checkActive();
  followOtherWriters();
  const int from = recNo();
  // A dropped new row stood between two stored records: count from its place. A posted one
  // (or an edited record that moved in the index) counts from where it is stored now.
  const bool dropped = checkBrowseMode();
  const int base = dropped ? (distance < 0 ? from : from - 1) : currentNumber();
  const int count = recordCount();
  if (count == 0) {
    bof_ = eof_ = true;
    return 0;
  }
  const int wanted = base + distance;
  const int target = std::clamp(wanted, 1, count);
  const int before = currentNumber();
  moveCursorTo(target);
  bof_ = distance < 0 && wanted < 1;
  eof_ = distance > 0 && wanted > count;
  if (currentNumber() != before || from != currentNumber()) notifyScrolled();
  return target - from;
}

int TTable::recNo() const {
  if (state() == dsInsert) return insertNumber_;
  return currentNumber();
}

void TTable::setRecNo(int number) {
  checkActive();
  if (number == recNo() && state() != dsInsert) return;
  moveBy(number - recNo());
}

int TTable::recordCount() const {
  return cursor_ ? int(cursor_->recordCount()) : 0;
}

// ---- changes ----

void TTable::edit() {
  checkActive();
  if (state() == dsEdit || state() == dsInsert) return;
  checkModifiable();
  if (recordCount() == 0) {
    insert(); // nothing to edit: a new record takes its place
    return;
  }
  check(editor_->edit(cursor_->recordBytes())); // the record lock: one editor at a time
  changes_.clear();
  modified_ = false;
  setState(dsEdit);
}

void TTable::insert() {
  checkActive();
  checkBrowseMode();
  checkModifiable();
  beginInsert(std::max(1, currentNumber()));
}

void TTable::append() {
  checkActive();
  checkBrowseMode();
  checkModifiable();
  if (recordCount() > 0) check(cursor_->last());
  beginInsert(recordCount() + 1);
}

void TTable::beginInsert(int position) {
  changes_.clear();
  insertNumber_ = position;
  fillMasterValue();
  modified_ = false; // the master's value alone is no change: an untouched record is dropped
  setState(dsInsert);
  notifyDataSetChanged();
}

void TTable::fillMasterValue() {
  const int key = firstKeyField();
  if (key < 0 || !masterLink_ || !masterLink_->active() || !range_) return;
  changes_[key] = Change{range_->isEmpty(), *range_};
}

void TTable::post() {
  checkActive();
  checkEditing();
  updateRecord();
  paradox::FieldInputs inputs;
  for (const auto &[number, change] : changes_)
    inputs[number] = paradox::FieldInput{change.blank, change.bytes.toStdString()};
  const int number = recNo();
  if (state() == dsEdit && !modified_) {
    editor_->cancel(); // nothing changed: nothing to write
  } else {
    const auto original = cursor_->recordBytes();
    const bool appending = insertNumber_ > recordCount();
    auto written =
        state() == dsEdit
            ? editor_->post(original, inputs)
            : editor_->insert(inputs, appending ? std::span<const std::uint8_t>() : original);
    if (!written) raiseEngine(written.status()); // the record stays in edit
    reload(*written, number);
  }
  changes_.clear();
  modified_ = false;
  bof_ = eof_ = false;
  setState(dsBrowse);
  notifyDataSetChanged();
}

void TTable::cancel() {
  if (state() != dsEdit && state() != dsInsert) return;
  if (state() == dsEdit) editor_->cancel();
  changes_.clear();
  modified_ = false;
  setState(dsBrowse);
  notifyDataSetChanged();
}

void TTable::deleteRecord() {
  checkActive();
  if (state() == dsInsert) {
    cancel(); // a new record is only dropped
    return;
  }
  if (recordCount() == 0)
    databaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
  checkModifiable();
  notifyCheckBrowseMode();
  const int number = currentNumber();
  changes_.clear();
  modified_ = false;
  if (state() == dsEdit) setState(dsBrowse);
  check(editor_->remove(cursor_->recordBytes()));
  reload({}, number); // the following record, or the preceding one after the last
  bof_ = eof_ = recordCount() == 0;
  notifyDataSetChanged();
}

// ---- field access ----

const TTable::Change *TTable::changeOf(const TField *field) const {
  if (state() != dsEdit && state() != dsInsert) return nullptr;
  const auto found = changes_.find(field->index());
  return found == changes_.end() ? nullptr : &found->second;
}

bool TTable::fieldIsNull(const TField *field) const {
  if (const TTable::Change *change = changeOf(field)) return change->blank;
  if (state() == dsInsert || !cursor_ || recordCount() == 0) return true;
  const paradox::Value value = cursor_->value(field->index());
  if (const auto *blob = std::get_if<paradox::Blob>(&value)) return blob->length == 0;
  return paradox::isBlank(value);
}

QString TTable::storedText(paradox::Cursor &cursor, const TField *field) const {
  if (!field->isBlob()) return valueText(cursor.value(field->index()));
  switch (field->dataType()) {
  case ftMemo:
  case ftFmtMemo: {
    std::vector<std::uint8_t> bytes;
    check(cursor.readBlob(field->index(), bytes));
    return fromCp1251(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  }
  case ftGraphic:
    return QStringLiteral("(Graphic)");
  case ftOle:
    return QStringLiteral("(OLE)");
  default:
    return QStringLiteral("(Blob)");
  }
}

QString TTable::fieldText(const TField *field) const {
  if (const TTable::Change *change = changeOf(field))
    return change->blank ? QString() : fromCp1251(change->bytes);
  if (state() == dsInsert || !cursor_ || recordCount() == 0) return {};
  return storedText(*cursor_, field);
}

QByteArray TTable::fieldBytes(const TField *field) const {
  if (const TTable::Change *change = changeOf(field))
    return change->blank ? QByteArray() : change->bytes;
  if (state() == dsInsert || !cursor_ || recordCount() == 0) return {};
  if (field->isBlob()) {
    std::vector<std::uint8_t> bytes;
    check(cursor_->readBlob(field->index(), bytes));
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
  }
  const paradox::Value value = cursor_->value(field->index());
  if (const auto *text = std::get_if<paradox::Text>(&value))
    return QByteArray(text->bytes.data(), qsizetype(text->bytes.size()));
  return toCp1251(valueText(value));
}

void TTable::setFieldText(TField *field, const QString &value) {
  if (!fitsCp1251(value)) // the tables hold 1251 text; a character it lacks would be lost
    databaseError(QStringLiteral("Invalid value for field '%1'").arg(field->fieldName()));
  setFieldBytes(field, toCp1251(value));
}

void TTable::setFieldBytes(TField *field, const QByteArray &value) {
  checkActive();
  checkEditing();
  changes_[field->index()] = Change{value.isEmpty(), value};
  modified_ = true;
  notifyRecordChanged(field);
}

QStringList TTable::displayTexts(const TField *field, int firstRecNo, int count) const {
  QStringList texts;
  if (!active() || count <= 0) return texts;
  const int stored = recordCount();
  const bool inserting = state() == dsInsert;
  const int presented = stored + (inserting ? 1 : 0);
  const int current = currentNumber();
  bool readerPlaced = false;
  for (int number = std::max(1, firstRecNo); number <= presented && texts.size() < count;
       ++number) {
    if (inserting && number == insertNumber_) {
      texts.append(fieldText(field));
      continue;
    }
    const int storedNumber = inserting && number > insertNumber_ ? number - 1 : number;
    if (state() == dsEdit && storedNumber == current) {
      texts.append(fieldText(field));
      readerPlaced = false;
      continue;
    }
    if (!readerPlaced) {
      check(reader_->moveTo(std::uint64_t(storedNumber)));
      readerPlaced = true;
    } else {
      check(reader_->next());
    }
    texts.append(storedText(*reader_, field));
  }
  return texts;
}

// ---- the master-detail link ----

QString TTable::firstMasterField() const {
  return masterFields_.section(QLatin1Char(';'), 0, 0).trimmed();
}

QByteArray TTable::masterValue() const {
  TDataSet *master = masterLink_ ? masterLink_->dataSet() : nullptr;
  const QString name = firstMasterField();
  if (!master || name.isEmpty()) return {};
  return toCp1251(master->fieldByName(name)->asString()); // "Table2: Field 'Tip' not found"
}

bool TTable::isMasterField(const TField *field) const {
  return field->fieldName().compare(firstMasterField(), Qt::CaseInsensitive) == 0;
}

int TTable::firstKeyField() const {
  if (!table_) return -1;
  if (indexName_.isEmpty()) return table_->info().keyed ? 0 : -1;
  for (const paradox::IndexInfo &index : table_->indexes())
    if (QString::fromStdString(index.name).compare(indexName_, Qt::CaseInsensitive) == 0)
      return index.keyFields.empty() ? -1 : index.keyFields.front();
  return -1;
}

void TTable::masterActivated(bool masterActive) {
  if (!masterActive) {
    if (active()) liftRange();
    return;
  }
  masterValue(); // looks the master's field up, also while this table is closed
  masterChanged();
}

void TTable::masterChanged() {
  if (!active() || !masterLink_ || !masterLink_->active() || firstMasterField().isEmpty()) return;
  checkBrowseMode();
  const QByteArray value = masterValue();
  if (range_ && *range_ == value) return; // the same kind's documents: the current one stays
  applyRange(value);
  check(cursor_->first());
  bof_ = true;
  eof_ = recordCount() == 0;
  notifyDataSetChanged();
}

void TTable::applyRange(const QByteArray &value) {
  const std::string bytes = value.toStdString();
  const paradox::Value bound =
      bytes.empty() ? paradox::Value(paradox::Blank{}) : paradox::Value(paradox::Text{bytes});
  check(cursor_->setRange(bound, bound));
  check(reader_->setRange(bound, bound));
  range_ = value;
}

void TTable::liftRange() {
  if (!range_) return;
  // Remember the current record by its stored bytes, to stand on it again unrestricted.
  const auto current = cursor_->recordBytes();
  const std::vector<std::uint8_t> wanted(current.begin(), current.end());
  cursor_->clearRange();
  reader_->clearRange();
  range_.reset();
  check(cursor_->first());
  bool found = wanted.empty();
  for (std::uint64_t n = 0, count = cursor_->recordCount(); n < count && !found; ++n) {
    if (n > 0) check(cursor_->next());
    const auto bytes = cursor_->recordBytes();
    found = std::equal(bytes.begin(), bytes.end(), wanted.begin(), wanted.end());
  }
  if (!found) check(cursor_->first());
  bof_ = eof_ = recordCount() == 0;
  notifyDataSetChanged();
}

} // namespace toolkit
