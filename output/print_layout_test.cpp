// Cutting a document into pages: the cut falls between lines and between table rows, an
// element taller than the page gets a page of its own, and every cut moves on.
#include "output/print_layout.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>

namespace {

// A paint device at a printer's resolution.
QImage printerLikeDevice() {
  QImage image(10, 10, QImage::Format_RGB32);
  image.setDotsPerMeterX(qRound(1200 / 0.0254));
  image.setDotsPerMeterY(qRound(1200 / 0.0254));
  return image;
}

std::unique_ptr<QTextDocument> newDocument() {
  auto doc = std::make_unique<QTextDocument>();
  doc->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 12));
  return doc;
}

// The positions at which the pages begin, drawing each page on a canvas as printing does.
std::vector<int> pageStarts(const QTextDocument &doc, QSizeF page) {
  QImage device = printerLikeDevice();
  output::PrintLayout layout(doc, device, page);
  QImage canvas(int(page.width()), int(page.height()), QImage::Format_RGB32);
  std::vector<int> starts{0};
  for (int position = 0;;) {
    QPainter painter(&canvas);
    const int next = layout.formatRange(position, painter);
    if (next < layout.textLength()) {
      EXPECT_GT(next, position) << "every page moves on";
    }
    if (next >= layout.textLength() || next <= position || starts.size() > 1000) break;
    starts.push_back(next);
    position = next;
  }
  return starts;
}

TEST(PrintLayout, AnEmptyDocumentIsOnePage) {
  const auto doc = newDocument();
  EXPECT_EQ(pageStarts(*doc, {4000, 6000}), std::vector<int>{0});
}

TEST(PrintLayout, AnElementTallerThanThePageGetsAPageOfItsOwnAndPrintingGoesOn) {
  const auto doc = newDocument();
  QImage picture(50, 400, QImage::Format_RGB32);
  picture.fill(Qt::darkBlue);
  doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("tall.png")), picture);
  QTextCursor cursor(doc.get());
  cursor.insertText(QStringLiteral("before"));
  cursor.insertBlock();
  const int picturePosition = cursor.position();
  QTextImageFormat image;
  image.setName(QStringLiteral("tall.png"));
  image.setWidth(50);
  image.setHeight(400); // 400/96 inch: 5000 pixels at 1200 dpi, on a page of 3000
  cursor.insertImage(image);
  cursor.insertBlock();
  const int afterPosition = cursor.position();
  cursor.insertText(QStringLiteral("after"));

  const std::vector<int> expected{0, picturePosition, afterPosition};
  EXPECT_EQ(pageStarts(*doc, {4000, 3000}), expected);
}

TEST(PrintLayout, ATableRowIsNeverCut) {
  const auto doc = newDocument();
  QTextCursor cursor(doc.get());
  QTextTable *table = cursor.insertTable(3, 2);
  for (int row = 0; row < 3; ++row) {
    // The left cell is short, the right one long: a cut after the left cell's lines would
    // pass through the right cell's.
    table->cellAt(row, 0).firstCursorPosition().insertText(
        QStringLiteral("Строка %1").arg(row + 1));
    QTextCursor right = table->cellAt(row, 1).firstCursorPosition();
    for (int line = 0; line < 12; ++line)
      right.insertText(QStringLiteral("строка ячейки %1\n").arg(line));
  }
  // A page one and a half rows tall: each row on a page of its own.
  QImage device = printerLikeDevice();
  const std::unique_ptr<QTextDocument> measured(doc->clone());
  measured->setDocumentMargin(0);
  measured->documentLayout()->setPaintDevice(&device);
  measured->setTextWidth(4000);
  const qreal rowHeight = measured->size().height() / 3;
  const std::vector<int> expected{0, table->cellAt(1, 0).firstPosition(),
                                  table->cellAt(2, 0).firstPosition()};
  const std::vector<int> starts = pageStarts(*doc, {4000, rowHeight * 1.5});
  EXPECT_EQ(starts, expected);
}

TEST(PrintLayout, ANarrowerPageWrapsAnewAndNeedsMorePages) {
  const auto doc = newDocument();
  QStringList paragraphs;
  for (int i = 0; i < 40; ++i)
    paragraphs << QStringLiteral(
                      "Абзац %1: стороны договорились о нижеследующем, и это длинная строка.")
                      .arg(i);
  doc->setPlainText(paragraphs.join(u'\n'));
  const auto wide = pageStarts(*doc, {9000, 4000});
  const auto narrow = pageStarts(*doc, {3000, 4000});
  EXPECT_GT(narrow.size(), wide.size());
  // On the wide page each paragraph is one line: pages begin at paragraph starts.
  for (const int start : wide)
    EXPECT_TRUE(doc->findBlock(start).position() == start) << start;
}

} // namespace
