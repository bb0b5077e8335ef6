// A small catalogue for the window's tests: tip.db and base.db written with the table
// engine's create API into a temporary folder, which becomes the process's current
// directory (the window finds the files there by bare name) while the object lives.
#pragma once

#include "catalogue/catalogue_files.h"
#include "paradox/create.h"
#include "toolkit/text_codec.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <stdexcept>
#include <string>
#include <vector>

namespace ui_testing {

struct SampleDocument {
  QString kind;
  QString name;
  QByteArray text; // the memo's stored bytes (RTF)
};

class SmallCatalogue {
public:
  SmallCatalogue(const std::vector<QString> &kinds, const std::vector<SampleDocument> &documents)
      : previous_(QDir::currentPath()) {
    using velanta::paradox::FieldType;
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    velanta::paradox::TableSpec kindsSpec;
    kindsSpec.fields = {{catalogue::kKindField, FieldType::kAlpha, 60}};
    kindsSpec.password = catalogue::kTablePassword;
    auto kindsTable = velanta::paradox::TableBuilder::make(kindsSpec);
    check(kindsTable.status());
    for (const QString &kind : kinds) {
      auto record = kindsTable->newRecord();
      check(record.setText(catalogue::kKindField, bytes(kind)));
      check(kindsTable->append(record));
    }
    velanta::paradox::TableSpec docsSpec;
    docsSpec.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {catalogue::kKindField, FieldType::kAlpha, 60},
                       {catalogue::kNameField, FieldType::kAlpha, 120},
                       {catalogue::kTextField, FieldType::kMemo, 11}};
    docsSpec.keyFields = 1;
    docsSpec.indexes = {
        {catalogue::kDocumentsIndex, {catalogue::kKindField, catalogue::kNameField}}};
    docsSpec.password = catalogue::kTablePassword;
    auto docsTable = velanta::paradox::TableBuilder::make(docsSpec);
    check(docsTable.status());
    for (const SampleDocument &doc : documents) {
      auto record = docsTable->newRecord();
      check(record.setText(catalogue::kKindField, bytes(doc.kind)));
      check(record.setText(catalogue::kNameField, bytes(doc.name)));
      if (!doc.text.isEmpty()) check(record.setText(catalogue::kTextField, doc.text.toStdString()));
      check(docsTable->append(record));
    }
    check(kindsTable->write(path(catalogue::kKindsFile)));
    check(docsTable->write(path(catalogue::kDocumentsFile)));
    QDir::setCurrent(dir_.path());
  }
  ~SmallCatalogue() { QDir::setCurrent(previous_); }
  SmallCatalogue(const SmallCatalogue &) = delete;
  SmallCatalogue &operator=(const SmallCatalogue &) = delete;

  QString folder() const { return dir_.path(); }

private:
  static std::string bytes(const QString &text) { return toolkit::toCp1251(text).toStdString(); }
  std::string path(const char *file) const {
    return (dir_.path() + u'/' + QString::fromLatin1(file)).toStdString();
  }
  static void check(const velanta::paradox::Status &status) {
    if (!status.isOk()) throw std::runtime_error(status.toString());
  }
  QString previous_;
  QTemporaryDir dir_;
};

} // namespace ui_testing
