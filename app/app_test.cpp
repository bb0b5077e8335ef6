#include "app/velanta.h"

#include "toolkit/application.h"
#include "toolkit/label.h"
#include "toolkit/speed_button.h"
#include "ui/tform1.h"

#include "testing/modal.h"
#include "ui/testing/small_catalogue.h"

#include "paradox/create.h"
#include "toolkit/table.h"

#include <QDate>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The window opens its tables at creation: give it a catalogue to open, so that no error
// box waits for an answer.
class CatalogueEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    catalogue_ = std::make_unique<ui_testing::SmallCatalogue>(
        std::vector<QString>{QStringLiteral("Договоры")},
        std::vector<ui_testing::SampleDocument>{});
  }
  void TearDown() override { catalogue_.reset(); }

private:
  std::unique_ptr<ui_testing::SmallCatalogue> catalogue_;
};
[[maybe_unused]] const auto *const catalogueEnvironment =
    ::testing::AddGlobalTestEnvironment(new CatalogueEnvironment);

toolkit::TApplication &app() {
  return *toolkit::Application();
}

// Runs `whenShown` on the main window once the loop is running.
void onMainWindow(std::function<void(TForm1 &)> whenShown) {
  QTimer::singleShot(50, [whenShown] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *form = qobject_cast<TForm1 *>(w); form && form->isVisible())
        return whenShown(*form);
  });
}

TEST(Entry, ExitsWithZeroAfterCloseByTheExitButton) {
  bool clicked = false;
  onMainWindow([&](TForm1 &form) {
    clicked = true;
    QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
  });
  EXPECT_EQ(runMainWindow(app(), QString::fromLatin1(TForm1::kDescription)), 0);
  EXPECT_TRUE(clicked);
}

TEST(Entry, ExitsWithZeroAfterCloseByTheWindowItself) {
  onMainWindow([](TForm1 &form) { form.close(); });
  EXPECT_EQ(runMainWindow(app(), QString::fromLatin1(TForm1::kDescription)), 0);
}

TEST(Entry, AFailureWhileBuildingTheWindowIsShownAndExitsWithOne) {
  QString text;
  testing_support::answerNextModal([&](QWidget *modal) {
    text = qobject_cast<QMessageBox *>(modal)->text();
    modal->close();
  });
  EXPECT_EQ(runMainWindow(app(), QStringLiteral(":/app_testdata/broken.form")), 1);
  EXPECT_EQ(text, u"Описание формы broken.form, строка 3: неизвестный класс «TGadget».");
}

TEST(MainWindow, ShowsTodaysDateInTheDateLine) {
  TForm1 form;
  EXPECT_EQ(form.Label5->caption(), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
  EXPECT_EQ(form.windowTitle(), u"Веланта 1.0 - Сборник документов");
  EXPECT_EQ(form.size(), QSize(817, 702));
  EXPECT_EQ(form.clientArea()->geometry(), QRect(2, 2, 813, 698));
}

// A documents table without the field the title box shows: the message names the first
// bound control that looks the field up, the documents table is closed again and the kinds
// table is never opened; the window still opens.
TEST(MainWindow, ADocumentsTableWithoutNameNamesTheControlThatNeedsIt) {
  namespace paradox = velanta::paradox;
  QTemporaryDir dir;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  paradox::TableSpec definition;
  definition.fields = {{"ID", paradox::FieldType::kAutoIncrement, 0},
                       {"Tip", paradox::FieldType::kAlpha, 40},
                       {"Title", paradox::FieldType::kAlpha, 120},
                       {"Text", paradox::FieldType::kMemo, 11}};
  definition.keyFields = 1;
  definition.indexes = {{"TipGlavno", {"Tip", "Title"}, false}};
  auto builder = paradox::TableBuilder::make(definition);
  ASSERT_TRUE(builder);
  ASSERT_TRUE(builder->write("base.db"));

  QString text;
  const auto answered = testing_support::answerNextModal([&](QWidget *modal) {
    text = qobject_cast<QMessageBox *>(modal)->text();
    modal->close();
  });
  TForm1 form;
  QDir::setCurrent(previous);
  EXPECT_TRUE(*answered);
  EXPECT_EQ(text, u"DBRichEdit2: Field 'Name' not found.");
  EXPECT_FALSE(form.Table1->active());
  EXPECT_FALSE(form.Table2->active());
  EXPECT_EQ(form.Label5->caption(), u"Label5"); // later steps skipped
}

} // namespace
