// Tables through the data set: opening (passwords, read-only files), navigation, changes and
// the master-detail link, on tables made with the engine's create API and on a real table.
#include "toolkit/table.h"

#include "toolkit/exceptions.h"
#include "toolkit/session.h"
#include "toolkit/text_codec.h"

#include "paradox/create.h"
#include "testing/modal.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace toolkit {
namespace {

namespace paradox = velanta::paradox;
using paradox::FieldType;

std::string cp(const QString &text) {
  return toCp1251(text).toStdString();
}

struct Doc {
  QString tip, name, text;
};

void writeKinds(const QString &dir, const QStringList &kinds, const std::string &password = {},
                const char *field = "Tip") {
  paradox::TableSpec definition;
  definition.fields = {{field, FieldType::kAlpha, 40}};
  definition.password = password;
  auto builder = paradox::TableBuilder::make(definition);
  ASSERT_TRUE(builder) << builder.status().toString();
  for (const QString &kind : kinds) {
    auto record = builder->newRecord();
    ASSERT_TRUE(record.setText(field, cp(kind)));
    ASSERT_TRUE(builder->append(record));
  }
  ASSERT_TRUE(builder->write((dir + "/tip.db").toStdString()));
}

void writeDocuments(const QString &dir, const std::vector<Doc> &docs,
                    const std::string &password = {}, const char *nameField = "Name") {
  paradox::TableSpec definition;
  definition.fields = {{"ID", FieldType::kAutoIncrement, 0},
                       {"Tip", FieldType::kAlpha, 40},
                       {nameField, FieldType::kAlpha, 120},
                       {"Text", FieldType::kMemo, 11}};
  definition.keyFields = 1;
  definition.indexes = {{"TipGlavno", {"Tip", nameField}, false}};
  definition.password = password;
  auto builder = paradox::TableBuilder::make(definition);
  ASSERT_TRUE(builder) << builder.status().toString();
  for (const Doc &doc : docs) {
    auto record = builder->newRecord();
    ASSERT_TRUE(record.setText("Tip", cp(doc.tip)));
    ASSERT_TRUE(record.setText(nameField, cp(doc.name)));
    ASSERT_TRUE(record.setText("Text", cp(doc.text)));
    ASSERT_TRUE(builder->append(record));
  }
  ASSERT_TRUE(builder->write((dir + "/base.db").toStdString()));
}

// The window's four components: DataSource1, Table1, DataSource2, Table2.
struct Catalogue {
  explicit Catalogue(const QString &dir) {
    documentsSource = new TDataSource(&owner);
    documents = new TTable(&owner);
    kindsSource = new TDataSource(&owner);
    kinds = new TTable(&owner);
    documents->setObjectName("Table1");
    kinds->setObjectName("Table2");
    documents->setDatabaseName(dir);
    documents->setTableName("base.db");
    documents->setIndexName("TipGlavno");
    documents->setMasterSource(kindsSource);
    documents->setMasterFields("Tip");
    documentsSource->setDataSet(documents);
    kinds->setDatabaseName(dir);
    kinds->setTableName("tip.db");
    kindsSource->setDataSet(kinds);
  }
  QString name() const { return documents->fieldByName("Name")->asString(); }
  QStringList names() const {
    return documents->displayTexts(documents->fieldByName("Name"), 1, 100);
  }
  QObject owner;
  TDataSource *documentsSource, *kindsSource;
  TTable *documents, *kinds;
};

// A bound control that looks its field up by name when the table opens, and writes what it
// holds before the table leaves the record (as the title box does).
class Bound : public QObject, public TDataLink {
public:
  Bound(const QString &name, TDataSource *source, QString field) : field_(std::move(field)) {
    setObjectName(name);
    setDataSource(source);
  }
  void activeChanged() override {
    if (active()) controlField(dataSet(), field_, this);
  }
  void updateData() override {
    if (!pending.isNull()) dataSet()->fieldByName(field_)->setAsString(pending);
    pending.clear();
  }
  QString pending;

private:
  QString field_;
};

class TableTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    Session().removeAllPasswords();
  }
  QTemporaryDir dir;
  const std::vector<Doc> docs{{"Аренда", "Аренда склада", "{\\rtf1 a}"},
                              {"Аренда", "Аренда квартиры", "{\\rtf1 b}"},
                              {"Купля", "Поставка", "{\\rtf1 c}"},
                              {"Купля", "Купля-продажа", "{\\rtf1 d}"},
                              {"Купля", "Мена", "{\\rtf1 e}"}};
};

TEST_F(TableTest, LinkRestrictsToTheCurrentKindAndKeepsTheDocumentOnTheSameTip) {
  writeKinds(dir.path(), {"Аренда", "Купля", "Купля", "Заём"});
  writeDocuments(dir.path(), docs);
  Catalogue c(dir.path());

  c.documents->open(); // before the kinds: unrestricted, on the first of all
  EXPECT_EQ(c.documents->recordCount(), 5);
  EXPECT_EQ(c.name(), "Аренда квартиры");

  c.kinds->open(); // the link acts at once: the first kind's documents, in index order
  EXPECT_EQ(c.names(), QStringList({"Аренда квартиры", "Аренда склада"}));
  EXPECT_EQ(c.documents->recNo(), 1);

  c.kinds->next();
  EXPECT_EQ(c.names(), QStringList({"Купля-продажа", "Мена", "Поставка"}));
  c.documents->moveBy(2);
  EXPECT_EQ(c.name(), "Поставка");

  c.kinds->next(); // the same Tip again: the current document stays
  EXPECT_EQ(c.name(), "Поставка");
  EXPECT_EQ(c.documents->recNo(), 3);

  c.kinds->next(); // a kind without documents
  EXPECT_EQ(c.documents->recordCount(), 0);
  EXPECT_TRUE(c.documents->isEmpty());
  EXPECT_EQ(c.name(), "");

  c.kinds->prior();
  c.documents->setRecNo(2);
  EXPECT_EQ(c.name(), "Мена");
  c.kinds->close(); // restriction lifted; the current document stays
  EXPECT_EQ(c.documents->recordCount(), 5);
  EXPECT_EQ(c.name(), "Мена");
  EXPECT_EQ(c.documents->recNo(), 4);
}

TEST_F(TableTest, EmptyKindsTableGivesTheBlankKindsRange) {
  writeKinds(dir.path(), {});
  writeDocuments(dir.path(), {{"", "Без вида", ""}, {"Купля", "Поставка", ""}});
  Catalogue c(dir.path());
  c.documents->open();
  c.kinds->open();
  EXPECT_EQ(c.documents->recordCount(), 1);
  EXPECT_EQ(c.name(), "Без вида");
}

TEST_F(TableTest, KindsWithoutTipFailToOpenAndLeaveDocumentsUnrestricted) {
  writeKinds(dir.path(), {"Купля"}, {}, "Kind");
  writeDocuments(dir.path(), docs);
  Catalogue c(dir.path());
  c.documents->open();
  try {
    c.kinds->open();
    FAIL() << "opened";
  } catch (const EDatabaseError &e) {
    EXPECT_EQ(e.message(), "Table2: Field 'Tip' not found");
  }
  EXPECT_FALSE(c.kinds->active());
  EXPECT_TRUE(c.documents->active());
  EXPECT_EQ(c.documents->recordCount(), 5);
}

TEST_F(TableTest, MissingBoundFieldNamesTheFirstControlAndClosesTheTable) {
  writeKinds(dir.path(), {"Купля"});
  writeDocuments(dir.path(), docs, {}, "Title");
  Catalogue c(dir.path());
  Bound title("DBRichEdit2", c.documentsSource, "Name");
  Bound text("DBRichEdit1", c.documentsSource, "Text");
  try {
    c.documents->open();
    FAIL() << "opened";
  } catch (const EDatabaseError &e) {
    EXPECT_EQ(e.message(), "DBRichEdit2: Field 'Name' not found");
  }
  EXPECT_FALSE(c.documents->active());
}

TEST_F(TableTest, PendingNameIsPostedWhenTheKindChanges) {
  writeKinds(dir.path(), {"Аренда", "Купля"});
  writeDocuments(dir.path(), docs);
  {
    Catalogue c(dir.path());
    Bound title("DBRichEdit2", c.documentsSource, "Name");
    c.documents->open();
    c.kinds->open();
    c.documents->edit();
    title.pending = "Аренда гаража"; // typed, not yet written into the field
    c.kinds->next();
    EXPECT_EQ(c.documents->state(), dsBrowse);
    EXPECT_EQ(c.name(), "Купля-продажа");
    c.kinds->prior();
    EXPECT_EQ(c.names(), QStringList({"Аренда гаража", "Аренда склада"}));
  }
  Catalogue again(dir.path()); // stored in the file
  again.documents->open();
  again.kinds->open();
  EXPECT_EQ(again.names(), QStringList({"Аренда гаража", "Аренда склада"}));
}

// Two openers of the same files, as two programs on a shared folder: what one stores, the
// other shows after its next move, standing on the same record as before.
TEST_F(TableTest, ChangesStoredByAnotherOpenerAreSeenAfterTheNextMove) {
  writeKinds(dir.path(), {"Аренда", "Купля"});
  writeDocuments(dir.path(), docs);
  Catalogue reader(dir.path());
  reader.documents->open();
  reader.kinds->open();
  reader.kinds->next(); // Купля: Купля-продажа, Мена, Поставка
  reader.documents->next();
  EXPECT_EQ(reader.name(), "Мена");
  {
    Catalogue writer(dir.path());
    writer.documents->open();
    writer.kinds->open();
    writer.kinds->next();
    writer.documents->edit();
    writer.documents->fieldByName("Name")->setAsString("Бартер");
    writer.documents->post();
  }
  EXPECT_EQ(reader.name(), "Мена"); // not yet: no move since
  reader.documents->moveBy(0);
  EXPECT_EQ(reader.names(), QStringList({"Бартер", "Мена", "Поставка"}));
  EXPECT_EQ(reader.name(), "Мена");
}

TEST_F(TableTest, FailedPostKeepsTheKindAndTheEdit) {
  writeKinds(dir.path(), {"Аренда", "Купля"});
  writeDocuments(dir.path(), docs);
  Catalogue c(dir.path());
  c.documents->open();
  c.kinds->open();
  c.documents->edit();
  c.documents->fieldByName("Name")->setAsString(QString(121, QChar(u'я'))); // longer than A120
  EXPECT_THROW(c.kinds->next(), EDBEngineError);
  EXPECT_EQ(c.kinds->fieldByName("Tip")->asString(), "Аренда"); // the move did not happen
  EXPECT_EQ(c.documents->state(), dsEdit);
  EXPECT_EQ(c.name(), QString(121, QChar(u'я')));
}

TEST_F(TableTest, PendingEditIsLostWhenTheTableCloses) {
  writeKinds(dir.path(), {"Аренда"});
  writeDocuments(dir.path(), docs);
  {
    Catalogue c(dir.path());
    c.documents->open();
    c.kinds->open();
    c.documents->edit();
    c.documents->fieldByName("Name")->setAsString("Не сохранится");
  }
  Catalogue again(dir.path());
  again.documents->open();
  again.kinds->open();
  EXPECT_EQ(again.names(), QStringList({"Аренда квартиры", "Аренда склада"}));
}

TEST_F(TableTest, NewDocumentTakesTheCurrentKindAndAnUntouchedOneIsDropped) {
  writeKinds(dir.path(), {"Аренда", "Купля"});
  writeDocuments(dir.path(), docs);
  Catalogue c(dir.path());
  c.documents->open();
  c.kinds->open();
  c.kinds->next();

  c.documents->last();
  c.documents->append(); // untouched: dropped on the move up, the former last is current
  EXPECT_EQ(c.documents->recNo(), 4);
  EXPECT_EQ(c.names(), QStringList({"Купля-продажа", "Мена", "Поставка", ""}));
  c.documents->prior();
  EXPECT_EQ(c.documents->state(), dsBrowse);
  EXPECT_EQ(c.documents->recordCount(), 3);
  EXPECT_EQ(c.name(), "Поставка");

  c.documents->insert();
  EXPECT_EQ(c.documents->fieldByName("Tip")->asString(), "Купля");
  EXPECT_FALSE(c.documents->modified());
  c.documents->fieldByName("Name")->setAsString("Дарение");
  c.documents->post();
  EXPECT_EQ(c.names(), QStringList({"Дарение", "Купля-продажа", "Мена", "Поставка"}));
  EXPECT_EQ(c.name(), "Дарение");
  EXPECT_EQ(c.documents->fieldByName("Text")->asBytes(), QByteArray());
}

TEST_F(TableTest, NewKindGoesBeforeTheCurrentOneAndTheLinkFollowsItsTip) {
  writeKinds(dir.path(), {"Аренда", "Купля"});
  writeDocuments(dir.path(), docs);
  Catalogue c(dir.path());
  c.documents->open();
  c.kinds->open();
  c.kinds->next();
  c.kinds->insert(); // a blank kind: the blank kind's documents, none
  EXPECT_EQ(c.kinds->recNo(), 2);
  EXPECT_TRUE(c.documents->isEmpty());
  TField *tip = c.kinds->fieldByName("Tip");
  EXPECT_EQ(c.kinds->displayTexts(tip, 1, 5), QStringList({"Аренда", "", "Купля"}));
  c.kinds->prior(); // untouched: dropped
  EXPECT_EQ(c.kinds->recordCount(), 2);
  EXPECT_EQ(tip->asString(), "Аренда");
  EXPECT_EQ(c.documents->recordCount(), 2);

  c.kinds->next();
  c.kinds->insert();
  tip->setAsString("Купля");
  EXPECT_EQ(c.documents->recordCount(), 3); // the link follows the typed Tip
  c.kinds->post();
  EXPECT_EQ(c.kinds->displayTexts(tip, 1, 5), QStringList({"Аренда", "Купля", "Купля"}));
  EXPECT_EQ(c.kinds->recNo(), 2);
}

TEST_F(TableTest, KindWithoutDocumentsEditBeginsANewDocumentOfThatKind) {
  writeKinds(dir.path(), {"Заём"});
  writeDocuments(dir.path(), docs);
  Catalogue c(dir.path());
  c.documents->open();
  c.kinds->open();
  c.documents->edit();
  EXPECT_EQ(c.documents->state(), dsInsert);
  c.documents->fieldByName("Name")->setAsString("Договор займа");
  c.kinds->first(); // the link posts it
  EXPECT_EQ(c.names(), QStringList({"Договор займа"}));
  EXPECT_EQ(c.documents->fieldByName("Tip")->asString(), "Заём");
}

TEST_F(TableTest, DeleteMovesToTheFollowingRecordAndRefusesAnEmptyTable) {
  writeKinds(dir.path(), {"Аренда", "Заём"});
  writeDocuments(dir.path(), docs);
  Catalogue c(dir.path());
  c.documents->open();
  c.kinds->open();
  c.documents->deleteRecord();
  EXPECT_EQ(c.name(), "Аренда склада");
  c.documents->deleteRecord();
  EXPECT_TRUE(c.documents->isEmpty());
  try {
    c.documents->deleteRecord();
    FAIL() << "deleted";
  } catch (const EDatabaseError &e) {
    EXPECT_EQ(e.message(), "Table1: Cannot perform this operation on an empty dataset");
  }
}

TEST_F(TableTest, ReadOnlyTableBrowsesButRefusesChanges) {
  writeKinds(dir.path(), {"Купля"});
  writeDocuments(dir.path(), docs);
  { // mark base.db write-protected, as the engine reports a table that can only be read
    std::fstream file((dir.path() + "/base.db").toStdString(),
                      std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(0x38);
    file.put(1);
  }
  Catalogue c(dir.path());
  c.documents->open();
  c.kinds->open();
  EXPECT_TRUE(c.documents->openedReadOnly());
  EXPECT_FALSE(c.documents->canModify());
  EXPECT_EQ(c.names(), QStringList({"Купля-продажа", "Мена", "Поставка"}));
  c.documents->next();
  EXPECT_EQ(c.name(), "Мена");
  EXPECT_THROW(c.documents->edit(), EDatabaseError);
  EXPECT_EQ(c.documents->state(), dsBrowse);
  EXPECT_TRUE(c.kinds->canModify());
}

TEST_F(TableTest, PasswordsFromTheSessionOpenWithoutTheDialog) {
  writeKinds(dir.path(), {"Купля"});
  writeDocuments(dir.path(), docs, "Tavirek4806");
  Session().addPassword("Tavirek4806");
  const auto asked = testing_support::answerNextModal([](QWidget *w) { w->close(); }, 300);
  Catalogue c(dir.path());
  c.documents->open();
  c.kinds->open();
  QTest::qWait(400);
  EXPECT_FALSE(*asked);
  EXPECT_EQ(c.documents->recordCount(), 3);
}

TEST_F(TableTest, UnknownPasswordAsksAndOpensWithTheTypedOne) {
  writeDocuments(dir.path(), docs, cp("другой"));
  Session().addPassword("Tavirek4806");
  const auto asked = testing_support::answerNextModal([](QWidget *dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Enter password");
    auto *edit = dialog->findChild<QLineEdit *>("passwordEdit");
    for (const QChar ch : QString("другой"))
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    QTest::keyClick(edit, Qt::Key_Return); // the default button: OK
  });
  Catalogue c(dir.path());
  c.documents->open();
  EXPECT_TRUE(*asked);
  EXPECT_EQ(c.documents->recordCount(), 5);
  EXPECT_TRUE(Session().passwords().contains("другой"));
}

TEST_F(TableTest, CancelledPasswordDialogFailsWithTheRightsError) {
  writeDocuments(dir.path(), docs, cp("другой"));
  const auto asked = testing_support::answerNextModal(
      [](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
  Catalogue c(dir.path());
  try {
    c.documents->open();
    FAIL() << "opened";
  } catch (const EDBEngineError &e) {
    EXPECT_EQ(e.errorCode(), int(paradox::ErrorCode::kInsufficientTableRights));
    EXPECT_TRUE(e.message().contains("base.db")) << e.message().toStdString();
  }
  EXPECT_TRUE(*asked);
  EXPECT_FALSE(c.documents->active());
}

TEST_F(TableTest, MissingFileIsTheEnginesError) {
  Catalogue c(dir.path());
  try {
    c.documents->open();
    FAIL() << "opened";
  } catch (const EDBEngineError &e) {
    EXPECT_EQ(e.errorCode(), int(paradox::ErrorCode::kNoSuchTable));
    EXPECT_TRUE(e.message().contains("base.db")) << e.message().toStdString();
  }
  EXPECT_FALSE(c.documents->active());
  EXPECT_EQ(c.documents->recordCount(), 0);
  EXPECT_TRUE(c.documents->displayTexts(nullptr, 1, 18).isEmpty());
}

TEST_F(TableTest, MissingIndexFailsTheOpeningAndClosesTheTable) {
  paradox::TableSpec definition; // base.db without TipGlavno
  definition.fields = {{"Tip", FieldType::kAlpha, 40}, {"Name", FieldType::kAlpha, 120}};
  ASSERT_TRUE(paradox::createTable((dir.path() + "/base.db").toStdString(), definition));
  Catalogue c(dir.path());
  try {
    c.documents->open();
    FAIL() << "opened";
  } catch (const EDBEngineError &e) {
    EXPECT_EQ(e.errorCode(), int(paradox::ErrorCode::kNoSuchIndex));
  }
  EXPECT_FALSE(c.documents->active());
}

// A real table written by the original engine, its named secondary index restricted by a
// master made here, opened for reading only so that the fixture stays untouched.
TEST_F(TableTest, RealTableFollowsAMasterThroughItsSecondaryIndex) {
  writeKinds(dir.path(), {"NY", "CA"}, {}, "State");
  QObject owner;
  auto *states = new TTable(&owner);
  auto *statesSource = new TDataSource(&owner);
  auto *codes = new TTable(&owner);
  states->setObjectName("States");
  states->setDatabaseName(dir.path());
  states->setTableName("tip.db");
  statesSource->setDataSet(states);
  codes->setObjectName("Codes");
  codes->setDatabaseName(VELANTA_FIXTURES_DIR "/paradox/db");
  codes->setTableName("AREACODES.DB");
  codes->setIndexName("ste");
  codes->setReadOnly(true);
  codes->setMasterSource(statesSource);
  codes->setMasterFields("State");
  codes->open();
  EXPECT_EQ(codes->recordCount(), 370);
  EXPECT_FALSE(codes->canModify());
  states->open();
  states->next();
  EXPECT_EQ(codes->recordCount(), 38);
  TField *code = codes->fieldByName("AC");
  EXPECT_EQ(code->asString(), "209");
  EXPECT_EQ(codes->displayTexts(code, 1, 2), QStringList({"209", "213"}));
  EXPECT_EQ(codes->moveBy(100), 37);
  EXPECT_TRUE(codes->eof());
  EXPECT_EQ(codes->recNo(), 38);
}

} // namespace
} // namespace toolkit
