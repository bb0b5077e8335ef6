#include "catalogue/catalogue.h"

#include "toolkit/data_set.h"
#include "toolkit/session.h"
#include "toolkit/table.h"

namespace catalogue {

namespace {
template <typename T> T *named(QObject &owner, const char *name) {
  auto *component = new T(&owner);
  component->setObjectName(QString::fromLatin1(name));
  return component;
}
} // namespace

Components createComponents(QObject &owner) {
  Components c;
  c.documentsSource = named<toolkit::TDataSource>(owner, kDocumentsSource);
  c.documents = named<toolkit::TTable>(owner, kDocumentsTable);
  c.kindsSource = named<toolkit::TDataSource>(owner, kKindsSource);
  c.kinds = named<toolkit::TTable>(owner, kKindsTable);

  c.documents->setTableName(QString::fromLatin1(kDocumentsFile));
  c.documents->setIndexName(QString::fromLatin1(kDocumentsIndex));
  c.documents->setMasterSource(c.kindsSource);
  c.documents->setMasterFields(QString::fromLatin1(kKindField));
  c.documentsSource->setDataSet(c.documents);
  c.kinds->setTableName(QString::fromLatin1(kKindsFile));
  c.kindsSource->setDataSet(c.kinds);
  return c;
}

Components findComponents(const QObject &form) {
  Components c;
  c.documentsSource = form.findChild<toolkit::TDataSource *>(QString::fromLatin1(kDocumentsSource));
  c.documents = form.findChild<toolkit::TTable *>(QString::fromLatin1(kDocumentsTable));
  c.kindsSource = form.findChild<toolkit::TDataSource *>(QString::fromLatin1(kKindsSource));
  c.kinds = form.findChild<toolkit::TTable *>(QString::fromLatin1(kKindsTable));
  return c;
}

void openCatalogue(const Components &components) {
  toolkit::Session().addPassword(QString::fromLatin1(kTablePassword));
  // A window without the tables has nothing to open.
  if (components.documents) components.documents->open();
  if (components.kinds) components.kinds->open();
}

void openCatalogue(const QObject &form) {
  openCatalogue(findComponents(form));
}

} // namespace catalogue
