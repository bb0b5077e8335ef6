// FormCreate's first three steps on catalogues in the working directory: what is open, what
// the lists would show, and which message a failure carries.
#include "catalogue/catalogue.h"

#include "toolkit/exceptions.h"
#include "toolkit/session.h"
#include "toolkit/table.h"
#include "toolkit/text_codec.h"

#include "paradox/create.h"
#include "testing/modal.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace catalogue {
namespace {

namespace paradox = velanta::paradox;
using paradox::FieldType;
using toolkit::EDBEngineError;

std::string cp(const QString &text) {
  return toolkit::toCp1251(text).toStdString();
}

void writeKinds(const QStringList &kinds, const std::string &password) {
  paradox::TableSpec definition;
  definition.fields = {{kKindField, FieldType::kAlpha, 40}};
  definition.password = password;
  auto builder = paradox::TableBuilder::make(definition);
  ASSERT_TRUE(builder);
  for (const QString &kind : kinds) {
    auto record = builder->newRecord();
    ASSERT_TRUE(record.setText(kKindField, cp(kind)));
    ASSERT_TRUE(builder->append(record));
  }
  ASSERT_TRUE(builder->write(kKindsFile));
}

void writeDocuments(const std::vector<std::pair<QString, QString>> &docs,
                    const std::string &password) {
  paradox::TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {kKindField, FieldType::kAlpha, 40},
                       {kNameField, FieldType::kAlpha, 120},
                       {kTextField, FieldType::kMemo, 11}};
  definition.keyFields = 1;
  definition.indexes = {{kDocumentsIndex, {kKindField, kNameField}, false}};
  definition.password = password;
  auto builder = paradox::TableBuilder::make(definition);
  ASSERT_TRUE(builder);
  for (const auto &[tip, name] : docs) {
    auto record = builder->newRecord();
    ASSERT_TRUE(record.setText(kKindField, cp(tip)));
    ASSERT_TRUE(record.setText(kNameField, cp(name)));
    ASSERT_TRUE(record.setText(kTextField, "{\\rtf1\\ansi text}"));
    ASSERT_TRUE(builder->append(record));
  }
  ASSERT_TRUE(builder->write(kDocumentsFile));
}

class CatalogueTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    previous = QDir::currentPath();
    QDir::setCurrent(dir.path()); // the files are found by bare name, here
    toolkit::Session().removeAllPasswords();
    c = createComponents(owner);
  }
  void TearDown() override { QDir::setCurrent(previous); }
  QStringList names() const {
    return c.documents->displayTexts(c.documents->fieldByName(kNameField), 1, 18);
  }

  QTemporaryDir dir;
  QString previous;
  QObject owner;
  Components c;
  const std::vector<std::pair<QString, QString>> docs{
      {"Подряд", "Договор подряда"}, {"Аренда", "Договор аренды"}, {"Аренда", "Договор найма"}};
};

TEST_F(CatalogueTest, ProtectedCatalogueOpensWithoutAskingOnTheFirstKind) {
  writeKinds({"Аренда", "Подряд", "Страхование"}, kTablePassword);
  writeDocuments(docs, kTablePassword);
  const auto asked = testing_support::answerNextModal([](QWidget *w) { w->close(); }, 200);
  openCatalogue(owner);
  QTest::qWait(300);
  EXPECT_FALSE(*asked);
  EXPECT_TRUE(toolkit::Session().passwords().contains("Tavirek4806"));
  EXPECT_EQ(c.kinds->fieldByName(kKindField)->asString(), "Аренда");
  EXPECT_EQ(names(), QStringList({"Договор аренды", "Договор найма"}));
  c.kinds->last(); // a kind without documents
  EXPECT_TRUE(c.documents->isEmpty());
}

TEST_F(CatalogueTest, StartedElsewhereOpensNothing) {
  try {
    openCatalogue(owner);
    FAIL() << "opened";
  } catch (const EDBEngineError &e) {
    EXPECT_TRUE(e.message().contains("base.db")) << e.message().toStdString();
  }
  EXPECT_FALSE(c.documents->active());
  EXPECT_FALSE(c.kinds->active()); // never tried
}

TEST_F(CatalogueTest, MissingKindsFileLeavesEveryDocumentInIndexOrder) {
  writeDocuments(docs, {});
  try {
    openCatalogue(owner);
    FAIL() << "opened";
  } catch (const EDBEngineError &e) {
    EXPECT_TRUE(e.message().contains("tip.db")) << e.message().toStdString();
  }
  EXPECT_FALSE(c.kinds->active());
  EXPECT_EQ(names(), QStringList({"Договор аренды", "Договор найма", "Договор подряда"}));
}

TEST_F(CatalogueTest, ForeignPasswordCancelledStopsAtTheDocumentsTable) {
  writeKinds({"Аренда"}, {});
  writeDocuments(docs, "secret");
  const auto asked = testing_support::answerNextModal(
      [](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
  EXPECT_THROW(openCatalogue(owner), EDBEngineError);
  EXPECT_TRUE(*asked);
  EXPECT_FALSE(c.documents->active());
  EXPECT_FALSE(c.kinds->active());
}

TEST_F(CatalogueTest, ComponentsCarryTheCatalogueSettings) {
  EXPECT_EQ(c.documents->tableName(), "base.db");
  EXPECT_EQ(c.documents->indexName(), "TipGlavno");
  EXPECT_EQ(c.documents->masterSource(), c.kindsSource);
  EXPECT_EQ(c.documents->masterFields(), "Tip");
  EXPECT_EQ(c.kinds->tableName(), "tip.db");
  for (const toolkit::TTable *table : {c.documents, c.kinds}) {
    EXPECT_FALSE(table->readOnly());
    EXPECT_FALSE(table->exclusive());
    EXPECT_TRUE(table->defaultIndex());
    EXPECT_TRUE(table->databaseName().isEmpty());
  }
  EXPECT_TRUE(c.documentsSource->autoEdit());
  EXPECT_TRUE(c.kindsSource->autoEdit());
  const Components found = findComponents(owner);
  EXPECT_EQ(found.documents, c.documents);
  EXPECT_EQ(found.kindsSource, c.kindsSource);
}

} // namespace
} // namespace catalogue
