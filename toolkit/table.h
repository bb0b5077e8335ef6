// A table of the table engine as a data set: opens a Paradox table through the default
// session, presents its records in the order of an index (optionally restricted to the
// current record of a master table), and keeps one record in edit until it is stored.
//
//   Table1: TableName "base.db", IndexName "TipGlavno", MasterSource DataSource2,
//           MasterFields "Tip": shows only the documents whose first index key field equals
//           the master's current "Tip".
//
// Record numbers are 1-based within the records presented. While a new record is being
// inserted it is presented at its place (recNo()), and displayTexts() shows it as a blank
// row there; recordCount() counts the stored records only.
#pragma once

#include "toolkit/data_set.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velanta::paradox {
class Table;
class Cursor;
class TableEditor;
} // namespace velanta::paradox

namespace toolkit {

class TTable : public TDataSet {
  Q_OBJECT
  // Folder of the table files; empty: the process's current working directory.
  Q_PROPERTY(QString DatabaseName READ databaseName WRITE setDatabaseName)
  Q_PROPERTY(QString TableName READ tableName WRITE setTableName)
  Q_PROPERTY(QString IndexName READ indexName WRITE setIndexName)
  Q_PROPERTY(toolkit::TDataSource *MasterSource READ masterSource WRITE setMasterSource)
  Q_PROPERTY(QString MasterFields READ masterFields WRITE setMasterFields)
  Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)
  Q_PROPERTY(bool Exclusive READ exclusive WRITE setExclusive)
  Q_PROPERTY(bool DefaultIndex READ defaultIndex WRITE setDefaultIndex)

public:
  explicit TTable(QObject *owner = nullptr);
  ~TTable() override; // closes the table; a pending edit is discarded

  const QString &databaseName() const { return databaseName_; }
  void setDatabaseName(const QString &name);
  const QString &tableName() const { return tableName_; }
  void setTableName(const QString &name);
  const QString &indexName() const { return indexName_; }
  void setIndexName(const QString &name);
  TDataSource *masterSource() const;
  void setMasterSource(TDataSource *source);
  const QString &masterFields() const { return masterFields_; }
  void setMasterFields(const QString &fields) { masterFields_ = fields; }
  bool readOnly() const { return readOnly_; }
  void setReadOnly(bool readOnly);
  // Shared access is all the engine offers; an exclusive table is opened shared.
  bool exclusive() const { return exclusive_; }
  void setExclusive(bool exclusive) { exclusive_ = exclusive; }
  bool defaultIndex() const { return defaultIndex_; }
  void setDefaultIndex(bool defaultIndex) { defaultIndex_ = defaultIndex; }

  // Opening: asks for passwords through the session while the engine wants one, falls back
  // to reading only when the files cannot be written, switches to IndexName, applies the
  // master's restriction, stands on the first record and tells the bound controls. Throws
  // EDBEngineError for refusals of the engine; a failure of a bound control closes the
  // table again and passes on.
  void open() override;
  void close() override;
  // True when the engine opened the table for reading only (files or folder not writable).
  bool openedReadOnly() const { return openedReadOnly_; }

  void first() override;
  void last() override;
  int moveBy(int distance) override;
  int recNo() const override;
  void setRecNo(int recNo) override;
  int recordCount() const override;
  bool bof() const override { return bof_; }
  bool eof() const override { return eof_; }

  void edit() override;
  void insert() override;
  void append() override;
  void post() override;
  void cancel() override;
  void deleteRecord() override;
  bool canModify() const override;
  bool modified() const override { return modified_; }

  QStringList displayTexts(const TField *field, int firstRecNo, int count) const override;

  bool fieldIsNull(const TField *field) const override;
  QString fieldText(const TField *field) const override;
  QByteArray fieldBytes(const TField *field) const override;
  void setFieldText(TField *field, const QString &value) override;
  void setFieldBytes(TField *field, const QByteArray &value) override;

  // The master-detail link's restriction in force: the first key field's value (1251
  // bytes; empty for the blank kind), none while the table is unrestricted.
  const std::optional<QByteArray> &range() const { return range_; }

private:
  class MasterLink;
  friend class MasterLink;

  // A value written into the record in edit or insert state: stored bytes (1251 text,
  // a blob's bytes), or blank.
  struct Change {
    bool blank = false;
    QByteArray bytes;
  };

  std::string directoryPath() const;
  std::string fileName() const;
  void openTable();
  void openCursors();
  void openEditor();
  // After a change: reads the table afresh and stands on `record` (its stored bytes), or on
  // record number `fallback` when it is gone.
  // Another program may have changed the table: reopens it when its header says so.
  void followOtherWriters();
  void reload(const std::vector<std::uint8_t> &record, int fallback);
  bool seekRecord(const std::vector<std::uint8_t> &record);
  void releaseEngine();
  void buildFields();
  void checkActive() const;
  void checkModifiable() const;
  void checkEditing() const;
  [[noreturn]] void databaseError(const QString &text) const;
  // Posts a changed record, cancels an unchanged edit or insertion. Returns true when it
  // dropped an unchanged new record.
  bool checkBrowseMode();
  void beginInsert(int position);
  void fillMasterValue();
  int currentNumber() const;
  void moveCursorTo(int number);
  QString storedText(velanta::paradox::Cursor &cursor, const TField *field) const;
  const Change *changeOf(const TField *field) const;

  // Master-detail link.
  QString firstMasterField() const;
  QByteArray masterValue() const;
  bool isMasterField(const TField *field) const;
  void masterChanged();
  void masterActivated(bool active);
  void applyRange(const QByteArray &value);
  void liftRange();
  int firstKeyField() const;

  QString databaseName_;
  QString tableName_;
  QString indexName_;
  QString masterFields_;
  bool readOnly_ = false;
  bool exclusive_ = false;
  bool defaultIndex_ = true;

  std::unique_ptr<velanta::paradox::Table> table_;
  std::unique_ptr<velanta::paradox::Cursor> cursor_;
  // A second cursor over the same order and range: lists read ahead without moving.
  std::unique_ptr<velanta::paradox::Cursor> reader_;
  // The writing side, opened with the table unless the table can only be read.
  std::unique_ptr<velanta::paradox::TableEditor> editor_;
  std::vector<std::string> passwords_; // those the table opened with
  std::unique_ptr<MasterLink> masterLink_;
  bool openedReadOnly_ = false;
  std::optional<QByteArray> range_;
  bool bof_ = true;
  bool eof_ = true;

  std::map<int, Change> changes_; // by field number, while in edit or insert state
  bool modified_ = false;
  int insertNumber_ = 0; // where a new record is presented while inserting
};

} // namespace toolkit
