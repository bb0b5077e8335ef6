#include "toolkit/application.h"
#include "toolkit/error_box.h"
#include "toolkit/exceptions.h"
#include "toolkit/form.h"
#include "toolkit/form_reader.h"
#include "toolkit/speed_button.h"

#include "testing/modal.h"

#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using toolkit::errorBoxText;

TEST(ErrorBox, AppendsAFullStopByTheCodeOfTheLastCharacter) {
  const std::pair<QString, QString> cases[] = {
      {QStringLiteral("Table2: Field 'Tip' not found"), QStringLiteral("Table2: Field 'Tip' not found.")},
      {QStringLiteral("error 42"), QStringLiteral("error 42.")},
      {QStringLiteral("Причина:"), QStringLiteral("Причина:.")},
      {QStringLiteral("Заменить?"), QStringLiteral("Заменить?.")},
      {QStringLiteral("Готово."), QStringLiteral("Готово.")},
      {QStringLiteral("Стоп!"), QStringLiteral("Стоп!")},
      {QStringLiteral("(error $2108)"), QStringLiteral("(error $2108)")},
      {QStringLiteral("name 'x'"), QStringLiteral("name 'x'")},
      {QStringLiteral("say \"x\""), QStringLiteral("say \"x\"")},
      {QStringLiteral("trailing "), QStringLiteral("trailing ")},
      {QStringLiteral("a-"), QStringLiteral("a-")},
      {QString(), QString()},
      // Cyrillic letters are above "." in code page 1251 (ё is 0xB8, я is 0xFF).
      {QStringLiteral("Таблица не найдена"), QStringLiteral("Таблица не найдена.")},
      {QStringLiteral("её"), QStringLiteral("её.")},
      {QStringLiteral("моя"), QStringLiteral("моя.")},
      // A character 1251 cannot hold is written as "?", which is above ".".
      {QStringLiteral("→"), QStringLiteral("→.")},
  };
  for (const auto &[message, shown] : cases)
    EXPECT_EQ(errorBoxText(message), shown) << message.toStdString();
}

TEST(ApplicationTitle, IsTheFileNameCutAtTheFirstDotWithLowerCaseAfterTheFirstLetter) {
  const std::pair<QString, QString> cases[] = {
      {QStringLiteral("C:/Program/VELANTA.EXE"), QStringLiteral("Velanta")},
      {QStringLiteral("/usr/bin/a.b.c"), QStringLiteral("a")},
      {QStringLiteral("Prog"), QStringLiteral("Prog")},
      {QStringLiteral("/opt/velanta"), QStringLiteral("velanta")},
      {QStringLiteral("ПРОГРАММА.exe"), QStringLiteral("Программа")},
  };
  for (const auto &[path, title] : cases)
    EXPECT_EQ(toolkit::TApplication::titleFromExecutable(path), title) << path.toStdString();
}

} // namespace

// A window whose handlers fail, to exercise the catch points.
class FailingForm : public toolkit::TForm {
  Q_OBJECT
  Q_PROPERTY(toolkit::TSpeedButton *Fail MEMBER Fail)
  Q_PROPERTY(toolkit::TSpeedButton *Abort MEMBER Abort)

public:
  explicit FailingForm(const QString &description) {
    toolkit::buildForm(this, toolkit::parseForm(description, QStringLiteral("test.form")),
                       QStringLiteral("test.form"));
  }
  toolkit::TSpeedButton *Fail = nullptr;
  toolkit::TSpeedButton *Abort = nullptr;
  int clicks = 0;

public slots:
  void FailClick(QObject *) {
    ++clicks;
    throw toolkit::EDatabaseError(QStringLiteral("Table1: Cannot perform this operation on an empty dataset"));
  }
  void AbortClick(QObject *) {
    ++clicks;
    throw toolkit::EAbort();
  }
};

namespace {

const char *const kFailingForm = R"(object Form1: FailingForm
  ClientWidth = 200
  ClientHeight = 100
  object Fail: TSpeedButton
    Left = 0
    Top = 0
    Width = 50
    Height = 50
    OnClick = FailClick
  end
  object Abort: TSpeedButton
    Left = 100
    Top = 0
    Width = 50
    Height = 50
    OnClick = AbortClick
  end
end
)";

TEST(CatchPoints, AFailingHandlerShowsTheErrorBoxAndTheLoopGoesOn) {
  FailingForm form(QString::fromUtf8(kFailingForm));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

  QString text, caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  const auto answered = testing_support::answerNextModal([&](QWidget *modal) {
    auto *box = qobject_cast<QMessageBox *>(modal);
    ASSERT_NE(box, nullptr);
    text = box->text();
    caption = box->windowTitle();
    icon = box->icon();
    box->accept();
  });
  QTest::mouseClick(form.Fail, Qt::LeftButton);
  EXPECT_TRUE(*answered);
  EXPECT_EQ(text, u"Table1: Cannot perform this operation on an empty dataset.");
  EXPECT_EQ(caption, toolkit::Application()->title());
  EXPECT_EQ(icon, QMessageBox::Critical);

  // The loop goes on: the next click is dispatched again.
  const auto again = testing_support::answerNextModal([](QWidget *modal) { modal->close(); });
  QTest::mouseClick(form.Fail, Qt::LeftButton);
  EXPECT_TRUE(*again);
  EXPECT_EQ(form.clicks, 2);
}

TEST(CatchPoints, AnAbortEndsTheHandlerSilently) {
  FailingForm form(QString::fromUtf8(kFailingForm));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const auto answered = testing_support::answerNextModal([](QWidget *modal) { modal->close(); }, 300);
  QTest::mouseClick(form.Abort, Qt::LeftButton);
  QTest::qWait(400);
  EXPECT_FALSE(*answered);
  EXPECT_EQ(form.clicks, 1);
}

} // namespace

#include "error_box_test.moc"
