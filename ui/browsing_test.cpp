// Browsing and editing the catalogue in the window, offscreen, over a small catalogue made
// with the table engine: the lists' keys and mouse presses, the views, the title box's
// editing life cycle, and what reaches the files.
#include "ui/tform1.h"

#include "testing/modal.h"
#include "ui/testing/small_catalogue.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace toolkit;

QByteArray body(const QString &text) {
  return "{\\rtf1\\ansi\\ansicpg1251 " + toCp1251(text) + "\\par}";
}

std::vector<ui_testing::SampleDocument> documents() {
  std::vector<ui_testing::SampleDocument> docs;
  for (int i = 1; i <= 25; ++i) {
    const QString name = QStringLiteral("Документ %1").arg(i, 2, 10, QLatin1Char('0'));
    docs.push_back({QStringLiteral("Аренда"), name, body(QStringLiteral("Текст ") + name)});
  }
  docs.push_back(
      {QStringLiteral("Подряд"), QStringLiteral("Подряд первый"), body(QStringLiteral("Первый"))});
  // Longer than the text view: 200 paragraphs.
  QByteArray longBody = "{\\rtf1\\ansi\\ansicpg1251 ";
  for (int i = 1; i <= 200; ++i)
    longBody += toCp1251(QStringLiteral("Второй, абзац %1").arg(i)) + "\\par ";
  docs.push_back({QStringLiteral("Подряд"), QStringLiteral("Подряд второй"), longBody + "}"});
  return docs;
}

// Kinds in the kinds table's order: "Аренда" (25 documents), "Подряд" (2), "Пусто" (none),
// and "Аренда" again.
const std::vector<QString> kKinds = {QStringLiteral("Аренда"), QStringLiteral("Подряд"),
                                     QStringLiteral("Пусто"), QStringLiteral("Аренда")};

class Browsing : public ::testing::Test {
protected:
  void SetUp() override {
    catalogue_ = std::make_unique<ui_testing::SmallCatalogue>(kKinds, documents());
    openWindow();
  }
  void TearDown() override {
    form_.reset();
    catalogue_.reset();
  }
  void openWindow() {
    form_ = std::make_unique<TForm1>();
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    ASSERT_TRUE(form_->Table1->active());
    ASSERT_TRUE(form_->Table2->active());
  }
  // Closes the window (storing what the window stores) and opens it again from the files.
  void reopenWindow() {
    form_->close();
    form_.reset();
    openWindow();
  }

  TTable &docs() { return *form_->Table1; }
  TTable &kinds() { return *form_->Table2; }
  QString name() { return docs().fieldByName(QStringLiteral("Name"))->asString(); }
  QString kind() { return kinds().fieldByName(QStringLiteral("Tip"))->asString(); }
  QString title() { return form_->DBRichEdit2->editor()->toPlainText(); }
  QString view() { return form_->DBRichEdit1->plainText(); }
  QStringList storedNames() {
    return docs().displayTexts(docs().fieldByName(QStringLiteral("Name")), 1, docs().recordCount());
  }
  void key(QWidget *target, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    target->setFocus();
    QTest::keyClick(target, k, mods);
  }
  void type(const QString &text) {
    QTextEdit *editor = form_->DBRichEdit2->editor();
    editor->setFocus();
    for (const QChar ch : text)
      QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
  void pressRow(TDBCtrlGrid *list, int row) {
    const QRect r = list->rowRect(row);
    QTest::mousePress(list, Qt::LeftButton, Qt::NoModifier, r.center());
    QTest::mouseRelease(list, Qt::LeftButton, Qt::NoModifier, r.center());
  }
  void chooseKind(int recNo) { kinds().setRecNo(recNo); }

  std::unique_ptr<ui_testing::SmallCatalogue> catalogue_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(Browsing, AtStartTheFirstKindAndItsFirstDocumentAreShown) {
  EXPECT_EQ(kind(), u"Аренда");
  EXPECT_EQ(name(), u"Документ 01");
  EXPECT_EQ(title(), u"Документ 01");
  EXPECT_EQ(view(), u"Текст Документ 01");
  EXPECT_EQ(form_->DBCtrlGrid2->currentRow(), 0);
  EXPECT_EQ(form_->DBCtrlGrid2->filledRows(), 18);
  EXPECT_EQ(form_->DBCtrlGrid2->scrollBar()->maximum(), 25);
  EXPECT_EQ(form_->DBCtrlGrid2->scrollBar()->pageStep(), 18);
  EXPECT_EQ(form_->DBCtrlGrid1->filledRows(), 4);
}

TEST_F(Browsing, TheTextViewShowsEachDocumentFromItsStartAndKeepsOnlyThatOne) {
  for (int i = 2; i <= 25; ++i) {
    key(form_->DBCtrlGrid2, Qt::Key_Down);
    ASSERT_EQ(view(), QStringLiteral("Текст ") + name());
  }
  // The documents shown before are not kept.
  EXPECT_LE(form_->DBRichEdit1->findChildren<QTextDocument *>().size(), 2);

  chooseKind(2); // "Подряд": its long document first
  ASSERT_EQ(name(), u"Подряд второй");
  QScrollBar *scroll = form_->DBRichEdit1->editor()->verticalScrollBar();
  QApplication::processEvents();
  ASSERT_GT(scroll->maximum(), 0);
  scroll->setValue(scroll->maximum());
  key(form_->DBCtrlGrid2, Qt::Key_Down);
  EXPECT_EQ(view(), u"Первый");
  key(form_->DBCtrlGrid2, Qt::Key_Up);
  QApplication::processEvents();
  EXPECT_TRUE(view().startsWith(u"Второй, абзац 1\n"));
  EXPECT_EQ(scroll->value(), 0);
  EXPECT_GT(scroll->maximum(), 0);
}

struct KeyStep {
  Qt::Key key;
  Qt::KeyboardModifiers mods;
  int recNo;
  int top;
  TDataSetState state;
};

TEST_F(Browsing, KeysInTheDocumentsList) {
  const KeyStep steps[] = {
      {Qt::Key_Up, {}, 1, 1, dsBrowse}, // on the first record nothing happens
      {Qt::Key_Down, {}, 2, 1, dsBrowse},
      {Qt::Key_Right, {}, 3, 1, dsBrowse},
      {Qt::Key_Left, {}, 2, 1, dsBrowse},
      {Qt::Key_PageDown, {}, 20, 8, dsBrowse}, // by 18, the rows as far as records allow
      {Qt::Key_PageUp, {}, 2, 1, dsBrowse},
      {Qt::Key_End, {}, 25, 8, dsBrowse},
      {Qt::Key_Down, {}, 26, 9, dsInsert}, // on the last record: a new one appended
      {Qt::Key_Down, {}, 26, 9, dsInsert}, // an untouched appended record stays
      {Qt::Key_Up, {}, 25, 8, dsBrowse},   // and is dropped by the move up
      {Qt::Key_Home, {}, 1, 1, dsBrowse},
      {Qt::Key_Return, {}, 1, 1, dsBrowse}, // Enter, F2 and Delete do nothing
      {Qt::Key_F2, {}, 1, 1, dsBrowse},
      {Qt::Key_Delete, {}, 1, 1, dsBrowse},
      {Qt::Key_Down, {}, 2, 1, dsBrowse},
      {Qt::Key_Insert, {}, 2, 1, dsInsert}, // a new record before the current one
      {Qt::Key_Escape, {}, 2, 1, dsBrowse},
      {Qt::Key_Insert, Qt::ControlModifier, 26, 9, dsInsert}, // appended at the end
      {Qt::Key_Escape, {}, 25, 8, dsBrowse},
  };
  int n = 0;
  for (const KeyStep &s : steps) {
    SCOPED_TRACE(::testing::Message() << "step " << n++);
    key(form_->DBCtrlGrid2, s.key, s.mods);
    EXPECT_EQ(docs().recNo(), s.recNo);
    EXPECT_EQ(form_->DBCtrlGrid2->topRecord(), s.top);
    EXPECT_EQ(docs().state(), s.state);
    EXPECT_EQ(docs().recordCount(), 25);
    EXPECT_EQ(form_->DBCtrlGrid2->scrollBar()->value(), std::min(s.recNo, 25));
  }
}

struct KindStep {
  Qt::Key key;
  Qt::KeyboardModifiers mods;
  int recNo;
  TDataSetState state;
  const char16_t *firstDocument; // what the documents list and the views then show
};

TEST_F(Browsing, KeysInTheKindsListChangeTheDocumentsShown) {
  const KindStep steps[] = {
      {Qt::Key_Up, {}, 1, dsBrowse, u"Документ 01"},
      {Qt::Key_Down, {}, 2, dsBrowse, u"Подряд второй"}, // the index orders by name
      {Qt::Key_Right, {}, 3, dsBrowse, u""},             // "Пусто": no documents
      {Qt::Key_Left, {}, 2, dsBrowse, u"Подряд второй"},
      {Qt::Key_End, {}, 4, dsBrowse, u"Документ 01"},
      {Qt::Key_Down, {}, 5, dsInsert, u""},          // a new kind appended
      {Qt::Key_Up, {}, 4, dsBrowse, u"Документ 01"}, // a new kind is always dropped
      {Qt::Key_Home, {}, 1, dsBrowse, u"Документ 01"},
      {Qt::Key_PageDown, {}, 4, dsBrowse, u"Документ 01"}, // by six, at most to the last
      {Qt::Key_PageUp, {}, 1, dsBrowse, u"Документ 01"},
      {Qt::Key_Return, {}, 1, dsBrowse, u"Документ 01"},
      {Qt::Key_F2, {}, 1, dsBrowse, u"Документ 01"},
      {Qt::Key_Delete, {}, 1, dsBrowse, u"Документ 01"},
      {Qt::Key_Insert, {}, 1, dsInsert, u""},
      {Qt::Key_Escape, {}, 1, dsBrowse, u"Документ 01"},
      {Qt::Key_Insert, Qt::ControlModifier, 5, dsInsert, u""},
      {Qt::Key_Escape, {}, 4, dsBrowse, u"Документ 01"},
  };
  int n = 0;
  for (const KindStep &s : steps) {
    SCOPED_TRACE(::testing::Message() << "step " << n++);
    key(form_->DBCtrlGrid1, s.key, s.mods);
    EXPECT_EQ(kinds().recNo(), s.recNo);
    EXPECT_EQ(kinds().state(), s.state);
    EXPECT_EQ(kinds().recordCount(), 4);
    EXPECT_EQ(title(), QString::fromUtf16(s.firstDocument));
    EXPECT_EQ(form_->DBCtrlGrid2->currentRow(), 0);
    EXPECT_EQ(form_->DBCtrlGrid1->scrollBar()->value(), std::min(s.recNo, 4));
  }
  EXPECT_EQ(view(), u"Текст Документ 01");
}

TEST_F(Browsing, AKindWithoutDocumentsShowsOneCreamRowAndEmptyViews) {
  pressRow(form_->DBCtrlGrid1, 2);
  EXPECT_EQ(kind(), u"Пусто");
  EXPECT_EQ(form_->DBCtrlGrid2->filledRows(), 1);
  EXPECT_EQ(form_->DBCtrlGrid2->currentRow(), 0);
  const QImage shot = form_->DBCtrlGrid2->grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(230, 11)), toQColor(clCream));
  EXPECT_EQ(QColor(shot.pixel(230, 33)), toQColor(clWhite));
  EXPECT_TRUE(title().isEmpty());
  EXPECT_TRUE(view().isEmpty());
}

TEST_F(Browsing, TwoKindsWithTheSameNameKeepTheCurrentDocument) {
  key(form_->DBCtrlGrid2, Qt::Key_Down);
  key(form_->DBCtrlGrid2, Qt::Key_Down);
  ASSERT_EQ(name(), u"Документ 03");
  pressRow(form_->DBCtrlGrid1, 3); // the second "Аренда"
  EXPECT_EQ(kinds().recNo(), 4);
  EXPECT_EQ(name(), u"Документ 03");
}

TEST_F(Browsing, APressOnAnotherRowMovesThereAndOnTheCurrentOrAnEmptyRowOnlyFocuses) {
  form_->DBRichEdit1->setFocus();
  pressRow(form_->DBCtrlGrid2, 4);
  EXPECT_EQ(docs().recNo(), 5);
  EXPECT_EQ(title(), u"Документ 05");
  EXPECT_TRUE(form_->DBCtrlGrid2->hasFocus());
  pressRow(form_->DBCtrlGrid2, 4);
  EXPECT_EQ(docs().recNo(), 5);

  pressRow(form_->DBCtrlGrid1, 1); // "Подряд": two documents
  form_->DBRichEdit1->setFocus();
  pressRow(form_->DBCtrlGrid2, 10);
  EXPECT_EQ(docs().recNo(), 1);
  EXPECT_TRUE(form_->DBCtrlGrid2->hasFocus());
}

TEST_F(Browsing, TheScrollBarMovesTheRecordAndFocusesTheList) {
  QScrollBar *bar = form_->DBCtrlGrid2->scrollBar();
  form_->DBRichEdit1->setFocus();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(docs().recNo(), 2);
  EXPECT_TRUE(form_->DBCtrlGrid2->hasFocus());
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(docs().recNo(), 20);
  EXPECT_EQ(bar->value(), 20);
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(docs().recNo(), 1);
  bar->setSliderDown(true);
  bar->setSliderPosition(17);
  EXPECT_EQ(docs().recNo(), 1); // the rows do not follow a dragged thumb
  bar->setSliderDown(false);
  EXPECT_EQ(docs().recNo(), 17);
  EXPECT_EQ(title(), u"Документ 17");
}

TEST_F(Browsing, CtrlDeleteAsksFirstAndNoKeepsTheRecord) {
  key(form_->DBCtrlGrid2, Qt::Key_Down);
  QString question;
  testing_support::answerNextModal([&](QWidget *modal) {
    auto *box = qobject_cast<QMessageBox *>(modal);
    question = box->text();
    EXPECT_EQ(box->defaultButton()->text(), u"Нет");
    box->defaultButton()->click();
  });
  key(form_->DBCtrlGrid2, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(question, u"Удалить запись?");
  EXPECT_EQ(docs().recordCount(), 25);
  EXPECT_EQ(name(), u"Документ 02");

  testing_support::answerNextModal([](QWidget *modal) {
    auto *box = qobject_cast<QMessageBox *>(modal);
    for (QAbstractButton *b : box->buttons())
      if (b->text() == u"Да") b->click();
  });
  key(form_->DBCtrlGrid2, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(docs().recordCount(), 24);
  EXPECT_EQ(name(), u"Документ 03"); // the following record
  EXPECT_EQ(title(), u"Документ 03");
  reopenWindow();
  EXPECT_FALSE(storedNames().contains(QStringLiteral("Документ 02")));
  EXPECT_EQ(storedNames().size(), 24);
}

TEST_F(Browsing, CtrlDeleteOnAnEmptyListReportsWithoutAQuestion) {
  pressRow(form_->DBCtrlGrid1, 2); // "Пусто"
  QString text;
  testing_support::answerNextModal([&](QWidget *modal) {
    text = qobject_cast<QMessageBox *>(modal)->text();
    modal->close();
  });
  key(form_->DBCtrlGrid2, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(text, u"Table1: Cannot perform this operation on an empty dataset.");
}

TEST_F(Browsing, ATitleTypedThenAHeaderButtonIsNotYetInTheField) {
  type(QStringLiteral("Новое"));
  EXPECT_EQ(docs().state(), dsEdit);
  QTest::mouseClick(form_->SpeedButton5, Qt::LeftButton);
  EXPECT_EQ(name(), u"Документ 01");
  EXPECT_EQ(title(), u"НовоеДокумент 01");
  EXPECT_TRUE(form_->DBRichEdit2->editor()->hasFocus());
}

TEST_F(Browsing, ATitleTypedThenAnotherDocumentIsStored) {
  form_->DBRichEdit2->editor()->moveCursor(QTextCursor::End);
  type(QStringLiteral(" (изм.)"));
  pressRow(form_->DBCtrlGrid2, 3);
  EXPECT_EQ(docs().state(), dsBrowse);
  EXPECT_EQ(name(), u"Документ 04");
  reopenWindow();
  EXPECT_TRUE(storedNames().contains(QStringLiteral("Документ 01 (изм.)")));
}

TEST_F(Browsing, EnterMakesANewLineStoredAsCrLf) {
  form_->DBRichEdit2->editor()->moveCursor(QTextCursor::End);
  QTest::keyClick(form_->DBRichEdit2->editor(), Qt::Key_Return);
  type(QStringLiteral("вторая строка"));
  key(form_->DBCtrlGrid2, Qt::Key_Down);
  reopenWindow();
  EXPECT_TRUE(storedNames().contains(QStringLiteral("Документ 01\r\nвторая строка")));
}

TEST_F(Browsing, ATitleTypedThenTheWindowClosedIsStored) {
  type(QStringLiteral("Заново "));
  reopenWindow(); // closing stores the pending title first
  EXPECT_TRUE(storedNames().contains(QStringLiteral("Заново Документ 01")));
}

TEST_F(Browsing, EscInTheTitleBoxRestoresTheFieldsValueAndKeepsEditing) {
  type(QStringLiteral("ххх"));
  QTest::keyClick(form_->DBRichEdit2->editor(), Qt::Key_Escape);
  EXPECT_EQ(title(), u"Документ 01");
  EXPECT_EQ(docs().state(), dsEdit);
}

TEST_F(Browsing, EscInTheDocumentsListDropsTheEdit) {
  type(QStringLiteral("ххх"));
  key(form_->DBCtrlGrid2, Qt::Key_Escape); // the box wrote its text on losing the focus
  EXPECT_EQ(docs().state(), dsBrowse);
  EXPECT_EQ(title(), u"Документ 01");
  EXPECT_EQ(name(), u"Документ 01");
}

TEST_F(Browsing, TypingInAKindWithoutDocumentsMakesANewDocumentOfThatKind) {
  pressRow(form_->DBCtrlGrid1, 2); // "Пусто"
  type(QStringLiteral("Первый документ"));
  EXPECT_EQ(docs().state(), dsInsert);
  pressRow(form_->DBCtrlGrid1, 0); // a change of kind stores it
  EXPECT_EQ(docs().state(), dsBrowse);
  reopenWindow();
  pressRow(form_->DBCtrlGrid1, 2);
  EXPECT_EQ(storedNames(), QStringList{QStringLiteral("Первый документ")});
  EXPECT_TRUE(view().isEmpty());
}

TEST_F(Browsing, ATitleNotWritableInCodePage1251IsRefusedOnceAndStaysTyped) {
  form_->DBRichEdit2->editor()->moveCursor(QTextCursor::End);
  type(QStringLiteral(" 中"));
  int boxes = 0;
  QString text;
  testing_support::answerNextModal([&](QWidget *modal) {
    ++boxes;
    text = qobject_cast<QMessageBox *>(modal)->text();
    modal->close();
  });
  pressRow(form_->DBCtrlGrid2, 2);
  QTest::qWait(50);
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(text.toStdString(), "Table1: Invalid value for field 'Name'");
  EXPECT_EQ(docs().recNo(), 1);
  EXPECT_EQ(docs().state(), dsEdit);
  EXPECT_EQ(title(), u"Документ 01 中");
}

TEST_F(Browsing, NewRecordsShowEmptyViewsAndTheFocusedListItsFocusRectangle) {
  key(form_->DBCtrlGrid2, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_TRUE(title().isEmpty());
  EXPECT_TRUE(view().isEmpty());
  key(form_->DBCtrlGrid2, Qt::Key_Escape);
  EXPECT_EQ(title(), u"Документ 25");
  EXPECT_EQ(view(), u"Текст Документ 25");
  // A dotted line two pixels inside the current row, only while the list has the focus.
  const auto dotsOnRowTop = [this] {
    const QImage shot = form_->DBCtrlGrid2->grab().toImage();
    const int y = form_->DBCtrlGrid2->rowRect(form_->DBCtrlGrid2->currentRow()).top() + 2;
    int dark = 0;
    for (int x = 2; x < 250; ++x)
      dark += qGray(shot.pixel(x, y)) < 128;
    return dark;
  };
  const int focused = dotsOnRowTop();
  EXPECT_GT(focused, 60);
  EXPECT_LT(focused, 190);
  form_->DBRichEdit1->setFocus();
  EXPECT_EQ(dotsOnRowTop(), 0);
}

TEST_F(Browsing, TheTextViewNeverEdits) {
  QTextEdit *text = form_->DBRichEdit1->editor();
  text->setFocus();
  QTest::keyClicks(text, "abc");
  QTest::keyClick(text, Qt::Key_Delete);
  EXPECT_EQ(docs().state(), dsBrowse);
  EXPECT_EQ(view(), u"Текст Документ 01");
}

TEST_F(Browsing, ANameTooLongToStoreStaysInEditingWithTheReasonShown) {
  form_->DBRichEdit2->editor()->moveCursor(QTextCursor::End);
  type(QString(130, u'я'));
  QString text;
  testing_support::answerNextModal([&](QWidget *modal) {
    text = qobject_cast<QMessageBox *>(modal)->text();
    modal->close();
  });
  pressRow(form_->DBCtrlGrid2, 3);
  EXPECT_FALSE(text.isEmpty());
  EXPECT_EQ(docs().state(), dsEdit);
  EXPECT_EQ(docs().recNo(), 1);
  EXPECT_EQ(title(), QStringLiteral("Документ 01") + QString(130, u'я'));
  // Closing the window tries to store it, says why it cannot, and the window stays open.
  text.clear();
  testing_support::answerNextModal([&](QWidget *modal) {
    text = qobject_cast<QMessageBox *>(modal)->text();
    modal->close();
  });
  form_->close();
  EXPECT_FALSE(text.isEmpty());
  EXPECT_TRUE(form_->isVisible());
  // Esc in the list drops the edit; then the window closes.
  key(form_->DBCtrlGrid2, Qt::Key_Escape);
  EXPECT_EQ(name(), u"Документ 01");
  form_->close();
  EXPECT_FALSE(form_->isVisible());
}

} // namespace
