// Data sets, fields, data sources and data links: how data-aware controls follow a table.
//
// A data set stands on a current record and tells every data source that shows it when it
// opens or closes, moves, changes a field or its state; each data source passes the notice
// to its data links, one per bound control. Before a data set leaves or stores a record it
// asks the links to write what their controls hold (updateData).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <vector>

namespace toolkit {

class TDataSet;
class TDataSource;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

enum TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftAutoInc, ftFloat, ftCurrency, ftBCD,
  ftDate, ftTime, ftDateTime, ftBoolean, ftBytes, ftMemo, ftFmtMemo, ftBlob, ftGraphic, ftOle
};

// One field of a data set's current record. Owned by its data set; valid while it is open.
class TField : public QObject {
  Q_OBJECT

public:
  TField(TDataSet *dataSet, int index, QString name, TFieldType type, int size);

  TDataSet *dataSet() const { return dataSet_; }
  int index() const { return index_; }
  const QString &fieldName() const { return name_; }
  TFieldType dataType() const { return type_; }
  int size() const { return size_; }
  bool isBlob() const;

  bool isNull() const;
  // The value as the user sees it, and as an editor edits it (the same for text).
  QString displayText() const;
  QString asString() const;
  // Writes a value into the current record; the data set must be in edit or insert state.
  void setAsString(const QString &value);
  // The value's stored bytes (a blob's whole content; text in code page 1251).
  QByteArray asBytes() const;
  void setAsBytes(const QByteArray &value);

private:
  TDataSet *dataSet_;
  int index_;
  QString name_;
  TFieldType type_;
  int size_;
};

// A control's link to a data source. The control derives from it and overrides the
// notices it cares for.
class TDataLink {
public:
  TDataLink() = default;
  TDataLink(const TDataLink &) = delete;
  TDataLink &operator=(const TDataLink &) = delete;
  virtual ~TDataLink();

  void setDataSource(TDataSource *source);
  TDataSource *dataSource() const { return source_; }
  TDataSet *dataSet() const;
  // True while the data source has an open data set.
  bool active() const;
  // Puts the data set into edit state when the data source allows automatic editing;
  // returns whether the record can now be changed.
  bool edit();

  // Notices, called by the data source.
  virtual void activeChanged() {}         // the data set opened or closed
  virtual void dataSetChanged() {}        // the records shown changed as a whole (range, insert, delete)
  virtual void dataSetScrolled() {}       // the current record moved
  virtual void recordChanged(TField *) {} // a field (or, with null, the whole record) changed
  virtual void editingChanged() {}        // the state entered or left edit/insert
  virtual void updateData() {}            // write what the control holds into the record
  virtual void checkBrowseMode() {}       // the data set is about to move: finish dependent edits

private:
  QPointer<TDataSource> source_;
};

// Looks up the field a bound control shows when its data set opens. Throws EDatabaseError
// "<control>: Field '<name>' not found", naming the control; the data set then closes again.
TField *controlField(const TDataSet *dataSet, const QString &fieldName, const QObject *control);

class TDataSource : public QObject {
  Q_OBJECT
  Q_PROPERTY(toolkit::TDataSet *DataSet READ dataSet WRITE setDataSet)
  Q_PROPERTY(bool AutoEdit READ autoEdit WRITE setAutoEdit)

public:
  explicit TDataSource(QObject *owner = nullptr);
  ~TDataSource() override;

  TDataSet *dataSet() const { return dataSet_; }
  void setDataSet(TDataSet *dataSet);
  bool autoEdit() const { return autoEdit_; }
  void setAutoEdit(bool autoEdit) { autoEdit_ = autoEdit; }
  TDataSetState state() const;

  void addLink(TDataLink *link);
  void removeLink(TDataLink *link);
  // Puts a link before the others: a detail table's link to its master hears every notice
  // before the master's controls do.
  void moveLinkToFront(TDataLink *link);
  const std::vector<TDataLink *> &links() const { return links_; }

private:
  QPointer<TDataSet> dataSet_;
  bool autoEdit_ = true;
  std::vector<TDataLink *> links_;
};

// The base of data sets. A concrete data set (a table) moves over its records and reads
// and writes its fields; the base keeps the state and tells the data sources.
class TDataSet : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Active READ active WRITE setActive)

public:
  explicit TDataSet(QObject *owner = nullptr);
  ~TDataSet() override;

  TDataSetState state() const { return state_; }
  bool active() const { return state_ != dsInactive; }
  void setActive(bool active) { active ? open() : close(); }
  virtual void open() = 0;
  virtual void close() = 0;

  // Fields of the open data set.
  const std::vector<TField *> &fields() const { return fields_; }
  TField *findField(const QString &name) const;
  // Throws EDatabaseError "<name>: Field '<field>' not found".
  TField *fieldByName(const QString &name) const;

  // Navigation: record numbers are 1-based within the records presented (a range, when
  // one is set). Moving first posts a changed record or cancels an unchanged edit.
  virtual void first() = 0;
  virtual void last() = 0;
  virtual int moveBy(int distance) = 0; // returns the distance actually moved
  void next() { moveBy(1); }
  void prior() { moveBy(-1); }
  virtual int recNo() const = 0;
  virtual void setRecNo(int recNo) = 0;
  virtual int recordCount() const = 0;
  virtual bool bof() const = 0;
  virtual bool eof() const = 0;
  bool isEmpty() const { return recordCount() == 0 && state_ != dsInsert; }

  // Changes.
  virtual void edit() = 0;
  virtual void insert() = 0; // a new empty record before the current one
  virtual void append() = 0; // a new empty record after the last one
  virtual void post() = 0;
  virtual void cancel() = 0;
  virtual void deleteRecord() = 0;
  virtual bool canModify() const = 0;
  // True when the record in edit or insert state has a changed field.
  virtual bool modified() const = 0;

  // For lists: display texts of `field` for up to `count` records presented from record
  // number `firstRecNo` on, without moving the current record.
  virtual QStringList displayTexts(const TField *field, int firstRecNo, int count) const = 0;

  // Field access for TField (current record).
  virtual bool fieldIsNull(const TField *field) const = 0;
  virtual QString fieldText(const TField *field) const = 0;
  virtual QByteArray fieldBytes(const TField *field) const = 0;
  virtual void setFieldText(TField *field, const QString &value) = 0;
  virtual void setFieldBytes(TField *field, const QByteArray &value) = 0;

  // Every data source showing this data set.
  void addDataSource(TDataSource *source);
  void removeDataSource(TDataSource *source);

protected:
  void setState(TDataSetState state);
  void setFields(std::vector<TField *> fields);
  // Asks the bound controls to write what they hold into the record (before post/move).
  void updateRecord();
  // Before the data set moves: dependent data sets (details) post or cancel their edits.
  void notifyCheckBrowseMode();
  // Notices to every link of every data source.
  void notifyActiveChanged();
  void notifyDataSetChanged();
  void notifyScrolled();
  void notifyRecordChanged(TField *field);

private:
  template <typename Notice> void notifyLinks(Notice notice);
  TDataSetState state_ = dsInactive;
  std::vector<TField *> fields_;
  std::vector<QPointer<TDataSource>> sources_;
};

} // namespace toolkit
