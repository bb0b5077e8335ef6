#include "app/velanta.h"

#include "toolkit/application.h"
#include "toolkit/label.h"
#include "toolkit/speed_button.h"
#include "ui/tform1.h"

#include "testing/modal.h"
#include "ui/testing/small_catalogue.h"

#include <QDate>
#include <QMessageBox>
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

toolkit::TApplication &app() { return *toolkit::Application(); }

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

} // namespace
