// The save commands through the main window: the buttons, the current document of the
// catalogue, the real file dialog and the error box.
#include "output/save_command.h"
#include "output/testing/dialog_driving.h"
#include "toolkit/application.h"
#include "toolkit/db_rich_edit.h"
#include "toolkit/text_codec.h"
#include "ui/testing/small_catalogue.h"
#include "ui/tform1.h"

#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

using namespace output_testing;

QByteArray body(const QString &rtfText) {
  return "{\\rtf1\\ansi\\ansicpg1251 " + toolkit::toCp1251(rtfText) + "}";
}

QByteArray readAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class SaveFromWindow : public ::testing::Test {
protected:
  void SetUp() override {
    catalogue_ = std::make_unique<ui_testing::SmallCatalogue>(
        std::vector<QString>{QStringLiteral("Аренда"), QStringLiteral("Пусто")},
        std::vector<ui_testing::SampleDocument>{
            {QStringLiteral("Аренда"), QStringLiteral("Договор аренды/1"),
             body(QStringLiteral("Первая строка\\par Вторая строка 100%"))}});
    form_ = std::make_unique<TForm1>();
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    ASSERT_TRUE(form_->Table1->active());
  }
  void TearDown() override {
    form_.reset();
    catalogue_.reset();
  }
  // Clicks a header button and answers its save dialog by typing `path`; returns the name
  // the dialog proposed.
  QString saveWith(toolkit::TSpeedButton *button, const QString &path) {
    QString proposed;
    const auto answered = answerNext<QFileDialog>([&](QFileDialog *dialog) {
      proposed = fileNameEdit(dialog)->text();
      typePathAndConfirm(dialog, path);
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(*answered);
    return proposed;
  }

  std::unique_ptr<ui_testing::SmallCatalogue> catalogue_;
  std::unique_ptr<TForm1> form_;
  QTemporaryDir out_;
};

TEST_F(SaveFromWindow, BothButtonsWriteTheViewsPlainTextUnderTheStoredName) {
  ASSERT_EQ(form_->DBRichEdit1->plainText(), u"Первая строка\nВторая строка 100%");
  const QString word = out_.filePath(QStringLiteral("word.doc"));
  const QString notepad = out_.filePath(QStringLiteral("notepad.txt"));
  EXPECT_EQ(saveWith(form_->SpeedButton2, word), u"Договор аренды_1.doc");
  EXPECT_EQ(saveWith(form_->SpeedButton3, notepad), u"Договор аренды_1.txt");
  const QByteArray expected = "\r\n" + toolkit::toCp1251(QStringLiteral("Первая строка")) + "\r\n" +
                              toolkit::toCp1251(QStringLiteral("Вторая строка 100%")) + "\r\n";
  EXPECT_EQ(readAll(word), expected);
  EXPECT_EQ(readAll(notepad), expected);
}

TEST_F(SaveFromWindow, TheExtensionFollowsTheLabelsCaptionAtEveryRun) {
  form_->Label1->setCaption(QStringLiteral(".rtf"));
  EXPECT_EQ(saveWith(form_->SpeedButton2, out_.filePath(QStringLiteral("a.rtf"))),
            u"Договор аренды_1.rtf");
}

TEST_F(SaveFromWindow, TitleTextTypedButNotStoredIsNotProposed) {
  QTextEdit *title = form_->DBRichEdit2->editor();
  title->setFocus();
  title->moveCursor(QTextCursor::End);
  QTest::keyClicks(title, "XYZ");
  ASSERT_TRUE(form_->DBRichEdit2->pendingChange());
  EXPECT_EQ(saveWith(form_->SpeedButton2, out_.filePath(QStringLiteral("t.doc"))),
            u"Договор аренды_1.doc");
}

TEST_F(SaveFromWindow, AKindWithoutDocumentsProposesTheExtensionAloneAndWritesTwoLineBreaks) {
  form_->Table2->setRecNo(2); // "Пусто"
  ASSERT_TRUE(form_->Table1->isEmpty());
  const QString path = out_.filePath(QStringLiteral("empty.txt"));
  EXPECT_EQ(saveWith(form_->SpeedButton3, path), u".txt");
  EXPECT_EQ(readAll(path), QByteArray("\r\n\r\n"));
}

TEST_F(SaveFromWindow, AFailedSaveShowsTheErrorBoxAndTheWindowGoesOn) {
  const QString path = out_.filePath(QStringLiteral("нет такой папки/договор.doc"));
  QString text, caption;
  const auto answered = answerNext<QFileDialog>([&](QFileDialog *dialog) {
    answerNext<QMessageBox>([&](QMessageBox *box) {
      text = box->text();
      caption = box->windowTitle();
      box->accept();
    });
    typePathAndConfirm(dialog, path);
  });
  QTest::mouseClick(form_->SpeedButton2, Qt::LeftButton);
  EXPECT_TRUE(*answered);
  EXPECT_EQ(text,
            QStringLiteral("Не удалось сохранить файл \"%1\": папка не существует.").arg(path));
  EXPECT_EQ(caption, toolkit::Application()->title());
  EXPECT_TRUE(QDir(out_.path()).isEmpty());
  // The window answers the next command.
  const QString next = out_.filePath(QStringLiteral("next.doc"));
  saveWith(form_->SpeedButton2, next);
  EXPECT_TRUE(QFileInfo::exists(next));
}

} // namespace
