// The main window as its description builds it, offscreen at 96 dpi: every control's
// rectangle, colour, font and cursor, the tab order, the frame, and what the pictures show.
#include "ui/tform1.h"

#include "ui/testing/small_catalogue.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace toolkit;

class WindowLayout : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    catalogue_ = std::make_unique<ui_testing::SmallCatalogue>(
        std::vector<QString>{QStringLiteral("Аренда"), QStringLiteral("Подряд")},
        std::vector<ui_testing::SampleDocument>{
            {QStringLiteral("Аренда"), QStringLiteral("Договор аренды"), "{\\rtf1 Text\\par}"},
            {QStringLiteral("Аренда"), QStringLiteral("Договор субаренды"), "{\\rtf1 Text\\par}"}});
    form_ = std::make_unique<TForm1>();
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  }
  static void TearDownTestSuite() {
    form_.reset();
    catalogue_.reset();
  }
  static TControl *control(const char *name) {
    auto *found = form_->findChild<TControl *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  // The control that holds the keyboard focus (a rich-text box's inner editor counts as
  // the box).
  static std::string focusedControl() {
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
      if (auto *c = qobject_cast<TControl *>(w)) return c->objectName().toStdString();
    return {};
  }

  static std::unique_ptr<ui_testing::SmallCatalogue> catalogue_;
  static std::unique_ptr<TForm1> form_;
};
std::unique_ptr<ui_testing::SmallCatalogue> WindowLayout::catalogue_;
std::unique_ptr<TForm1> WindowLayout::form_;

constexpr int kTextWidth = -1; // a label's width is that of its text
enum Pointer { Arrow, Hand };

struct Expected {
  const char *name;
  const char *parent;
  QRect rect; // relative to the parent's client area
  TColor colour;
  int fontPixels;
  Pointer pointer;
};

// The window's controls as its description gives them (positions after alignment).
const Expected kControls[] = {
    {"Panel1", "Form1", {0, 0, 813, 52}, clBtnFace, 11, Arrow},
    {"Image4", "Panel1", {321, 1, 320, 50}, clBtnFace, 11, Arrow},
    {"SpeedButton2", "Panel1", {0, 0, 121, 50}, clBtnFace, 11, Hand},
    {"SpeedButton3", "Panel1", {120, 0, 135, 50}, clBtnFace, 11, Hand},
    {"SpeedButton4", "Panel1", {253, 0, 67, 50}, clBtnFace, 11, Hand},
    {"SpeedButton1", "Panel1", {728, 1, 81, 49}, clBtnFace, 11, Hand},
    {"SpeedButton5", "Panel1", {639, 1, 89, 49}, clBtnFace, 11, Arrow},
    {"Panel2", "Form1", {711, 52, 102, 604}, clBtnFace, 11, Arrow},
    {"Image5", "Panel2", {0, 0, 100, 300}, clBtnFace, 11, Hand},
    {"Image6", "Panel2", {0, 302, 100, 300}, clBtnFace, 11, Hand},
    {"Panel4", "Form1", {280, 52, 431, 604}, clBtnFace, 11, Arrow},
    {"DBRichEdit1", "Panel4", {1, 49, 429, 554}, clWindow, 11, Arrow},
    {"DBRichEdit2", "Panel4", {1, 1, 429, 48}, clBtnFace, 13, Arrow},
    {"PageControl1", "Form1", {0, 52, 280, 604}, clBtnFace, 11, Arrow},
    {"TabSheet1", "PageControl1", {4, 24, 272, 576}, clBtnFace, 11, Arrow},
    {"DBCtrlGrid1", "TabSheet1", {0, 0, 270, 150}, clWhite, 11, Arrow},
    {"DBText2", "DBCtrlGrid1", {25, 4, 185, 17}, clWhite, 11, Arrow},
    {"Image1", "DBCtrlGrid1", {4, 3, 17, 17}, clWhite, 11, Arrow},
    {"Image2", "TabSheet1", {0, 152, 270, 33}, clBtnFace, 11, Arrow},
    {"DBCtrlGrid2", "TabSheet1", {0, 176, 270, 396}, clWhite, 11, Arrow},
    {"DBText3", "DBCtrlGrid2", {25, 3, 224, 17}, clWhite, 11, Arrow},
    {"Image3", "DBCtrlGrid2", {4, 4, 16, 16}, clWhite, 11, Arrow},
    {"Panel3", "Form1", {0, 656, 813, 42}, clBtnFace, 11, Arrow},
    {"Label1", "Panel3", {872, 8, 21, 13}, clBtnFace, 11, Arrow},
    {"Label2", "Panel3", {872, 24, 14, 13}, clBtnFace, 11, Arrow},
    {"Label3", "Panel3", {8, 8, 305, 13}, clBtnFace, 11, Arrow},
    {"Label4", "Panel3", {8, 24, 218, 13}, clBtnFace, 11, Hand},
    {"Label5", "Panel3", {320, 8, kTextWidth, 13}, clBtnFace, 11, Arrow},
};

TEST_F(WindowLayout, EveryControlHasItsRectangleColourFontAndCursor) {
  for (const Expected &e : kControls) {
    SCOPED_TRACE(e.name);
    TControl *c = control(e.name);
    ASSERT_NE(c, nullptr);
    // A list's template controls sit in its row template, the rest in their parent.
    const QString parent = QString::fromLatin1(e.parent);
    const QObject *owner = c->parentWidget();
    while (owner && !qobject_cast<const TControl *>(owner))
      owner = owner->parent();
    if (owner == form_->clientArea() || c->parentWidget() == form_->clientArea())
      EXPECT_EQ(parent, u"Form1");
    else {
      ASSERT_NE(owner, nullptr);
      const QObject *named = owner;
      while (named && named->objectName().isEmpty())
        named = named->parent();
      EXPECT_EQ(named->objectName(), parent);
    }
    QRect rect = e.rect;
    if (rect.width() == kTextWidth)
      rect.setWidth(QFontMetrics(c->font()).horizontalAdvance(static_cast<TLabel *>(c)->caption()));
    EXPECT_EQ(c->geometry(), rect);
    EXPECT_EQ(c->backgroundColor(), toQColor(e.colour));
    EXPECT_EQ(c->font().family(), u"MS Sans Serif");
    EXPECT_EQ(c->font().pixelSize(), e.fontPixels);
    EXPECT_EQ(c->cursor().shape(), e.pointer == Hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
  }
}

TEST_F(WindowLayout, TheWindowIsAFixedCentredDialogWithATwoPixelBorder) {
  EXPECT_EQ(form_->windowTitle(), u"Веланта 1.0 - Сборник документов");
  EXPECT_EQ(form_->size(), QSize(817, 702));
  EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
  EXPECT_EQ(form_->clientArea()->geometry(), QRect(2, 2, 813, 698));
  EXPECT_EQ(form_->pos(), QPoint((1024 - 817) / 2, (768 - 702) / 2));
  const Qt::WindowFlags flags = form_->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form_->backgroundColor(), toQColor(clBtnFace));
}

TEST_F(WindowLayout, TheWindowFontIsThirteenPixelsHigh) {
  const QFontMetrics metrics(form_->font());
  EXPECT_EQ(form_->font().family(), u"MS Sans Serif");
  EXPECT_EQ(metrics.height(), 13);
  // The stored widths of the labels are those of their captions in this font.
  EXPECT_EQ(form_->Label5->fontMetrics().horizontalAdvance(QStringLiteral("Label5")), 32);
  EXPECT_EQ(form_->Label1->width(), 21);
  EXPECT_EQ(form_->Label2->width(), 14);
}

TEST_F(WindowLayout, TabCyclesThroughTheFiveStopsStartingAtTheTextView) {
  EXPECT_EQ(focusedControl(), "DBRichEdit1");
  const std::vector<std::string> forward = {"DBRichEdit2", "PageControl1", "DBCtrlGrid2",
                                            "DBCtrlGrid1", "DBRichEdit1"};
  for (const std::string &next : forward) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(focusedControl(), next);
  }
  for (auto it = forward.rbegin() + 1; it != forward.rend(); ++it) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedControl(), *it);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(focusedControl(), "DBRichEdit1");
  // Panels, pictures, labels and buttons never take the focus.
  for (const char *name : {"Panel1", "Panel2", "Panel3", "Panel4", "TabSheet1", "Image4", "Image5",
                           "Image6", "Label4", "SpeedButton1", "SpeedButton5"})
    EXPECT_EQ(control(name)->focusPolicy(), Qt::NoFocus) << name;
}

TEST_F(WindowLayout, TheHeaderShowsTheLeftColumnsOfItsStripBetweenPrintAndUpdate) {
  const QImage shot = form_->Panel1->grab().toImage();
  const QImage strip(QStringLiteral(":/pictures/header.bmp"));
  ASSERT_EQ(strip.size(), QSize(800, 50));
  for (int y = 0; y < 50; y += 7)
    for (int x = 0; x < 318; x += 13)
      ASSERT_EQ(shot.pixel(321 + x, 1 + y), strip.pixel(x, y)) << x << "," << y;
  // The hidden labels lie beyond the bottom panel's right edge.
  EXPECT_FALSE(form_->Panel3->rect().intersects(form_->Label1->geometry()));
  EXPECT_FALSE(form_->Panel3->rect().intersects(form_->Label2->geometry()));
}

TEST_F(WindowLayout, TheCurrentRowIsCreamWithItsIconOnAWhiteSquare) {
  for (TDBCtrlGrid *list : {form_->DBCtrlGrid1, form_->DBCtrlGrid2}) {
    SCOPED_TRACE(list->objectName().toStdString());
    const QImage shot = list->grab().toImage();
    const int h = list->panelHeight();
    EXPECT_EQ(list->rowCount() * h, list->height());
    EXPECT_EQ(list->panelWidth() + TDBCtrlGrid::kScrollBarWidth, list->width());
    EXPECT_EQ(QColor(shot.pixel(230, h / 2)), toQColor(clCream));         // current row
    EXPECT_EQ(QColor(shot.pixel(230, h + h / 2)), toQColor(clWhite));     // second record
    EXPECT_EQ(QColor(shot.pixel(230, 5 * h + h / 2)), toQColor(clWhite)); // empty row
    EXPECT_EQ(QColor(shot.pixel(5, 4)), QColor(Qt::white));               // icon's top-left corner
    EXPECT_EQ(list->scrollBar()->geometry(), QRect(253, 0, 17, list->height()));
  }
}

} // namespace
