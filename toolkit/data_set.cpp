#include "toolkit/data_set.h"

#include "toolkit/exceptions.h"

#include <algorithm>

namespace toolkit {

// ---- TField ----

TField::TField(TDataSet *dataSet, int index, QString name, TFieldType type, int size)
    : QObject(dataSet), dataSet_(dataSet), index_(index), name_(std::move(name)), type_(type),
      size_(size) {}

bool TField::isBlob() const {
  return type_ == ftMemo || type_ == ftFmtMemo || type_ == ftBlob || type_ == ftGraphic ||
         type_ == ftOle;
}

bool TField::isNull() const { return dataSet_->fieldIsNull(this); }
QString TField::displayText() const { return dataSet_->fieldText(this); }
QString TField::asString() const { return dataSet_->fieldText(this); }
void TField::setAsString(const QString &value) { dataSet_->setFieldText(this, value); }
QByteArray TField::asBytes() const { return dataSet_->fieldBytes(this); }
void TField::setAsBytes(const QByteArray &value) { dataSet_->setFieldBytes(this, value); }

// ---- TDataLink ----

TDataLink::~TDataLink() {
  if (source_)
    source_->removeLink(this);
}

void TDataLink::setDataSource(TDataSource *source) {
  if (source_ == source)
    return;
  if (source_)
    source_->removeLink(this);
  source_ = source;
  if (source_)
    source_->addLink(this);
  activeChanged();
}

TDataSet *TDataLink::dataSet() const { return source_ ? source_->dataSet() : nullptr; }

bool TDataLink::active() const {
  const TDataSet *set = dataSet();
  return set && set->active();
}

bool TDataLink::edit() {
  TDataSet *set = dataSet();
  if (!set || !set->active())
    return false;
  if (set->state() == dsEdit || set->state() == dsInsert)
    return true;
  if (!source_->autoEdit() || !set->canModify())
    return false;
  set->edit();
  return set->state() == dsEdit || set->state() == dsInsert;
}

TField *controlField(const TDataSet *dataSet, const QString &fieldName, const QObject *control) {
  if (TField *field = dataSet->findField(fieldName))
    return field;
  throw EDatabaseError(
      QStringLiteral("%1: Field '%2' not found").arg(control->objectName(), fieldName));
}

// ---- TDataSource ----

TDataSource::TDataSource(QObject *owner) : QObject(owner) {}

TDataSource::~TDataSource() {
  if (dataSet_)
    dataSet_->removeDataSource(this);
  // Links outlive their source only as dangling pointers: let them know it is gone.
  const std::vector<TDataLink *> links = links_;
  links_.clear();
  for (TDataLink *link : links)
    link->setDataSource(nullptr);
}

void TDataSource::setDataSet(TDataSet *dataSet) {
  if (dataSet_)
    dataSet_->removeDataSource(this);
  dataSet_ = dataSet;
  if (dataSet_)
    dataSet_->addDataSource(this);
  for (TDataLink *link : std::vector<TDataLink *>(links_))
    link->activeChanged();
}

TDataSetState TDataSource::state() const { return dataSet_ ? dataSet_->state() : dsInactive; }

void TDataSource::addLink(TDataLink *link) {
  if (std::find(links_.begin(), links_.end(), link) == links_.end())
    links_.push_back(link);
}

void TDataSource::removeLink(TDataLink *link) { std::erase(links_, link); }

void TDataSource::moveLinkToFront(TDataLink *link) {
  std::erase(links_, link);
  links_.insert(links_.begin(), link);
}

// ---- TDataSet ----

TDataSet::TDataSet(QObject *owner) : QObject(owner) {}

TDataSet::~TDataSet() = default;

TField *TDataSet::findField(const QString &name) const {
  for (TField *field : fields_)
    if (field->fieldName().compare(name, Qt::CaseInsensitive) == 0)
      return field;
  return nullptr;
}

TField *TDataSet::fieldByName(const QString &name) const {
  if (TField *field = findField(name))
    return field;
  throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), name));
}

void TDataSet::addDataSource(TDataSource *source) {
  if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
    sources_.emplace_back(source);
}

void TDataSet::removeDataSource(TDataSource *source) {
  std::erase_if(sources_, [source](const QPointer<TDataSource> &s) { return s == source || !s; });
}

void TDataSet::setState(TDataSetState state) {
  if (state_ == state)
    return;
  const bool activity = (state_ == dsInactive) != (state == dsInactive);
  state_ = state;
  if (activity)
    notifyActiveChanged();
  else
    notifyLinks([](TDataLink *link) { link->editingChanged(); });
}

void TDataSet::setFields(std::vector<TField *> fields) {
  for (TField *field : fields_)
    if (std::find(fields.begin(), fields.end(), field) == fields.end())
      delete field;
  fields_ = std::move(fields);
}

template <typename Notice> void TDataSet::notifyLinks(Notice notice) {
  // Copies: a notice may make a control unbind itself.
  const std::vector<QPointer<TDataSource>> sources = sources_;
  for (const QPointer<TDataSource> &source : sources)
    if (source)
      for (TDataLink *link : std::vector<TDataLink *>(source->links()))
        notice(link);
}

void TDataSet::updateRecord() {
  notifyLinks([](TDataLink *link) { link->updateData(); });
}
void TDataSet::notifyCheckBrowseMode() {
  notifyLinks([](TDataLink *link) { link->checkBrowseMode(); });
}
void TDataSet::notifyActiveChanged() {
  notifyLinks([](TDataLink *link) { link->activeChanged(); });
}
void TDataSet::notifyDataSetChanged() {
  notifyLinks([](TDataLink *link) { link->dataSetChanged(); });
}
void TDataSet::notifyScrolled() {
  notifyLinks([](TDataLink *link) { link->dataSetScrolled(); });
}
void TDataSet::notifyRecordChanged(TField *field) {
  notifyLinks([field](TDataLink *link) { link->recordChanged(field); });
}

} // namespace toolkit
