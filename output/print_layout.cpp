#include "output/print_layout.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <limits>
#include <optional>

namespace output {

namespace {

// Fonts on paper. A font sized in screen pixels (the view's own font, for text that names
// no size) keeps its size: converted to points at the screen's 96 dpi, so that the printer's
// resolution does not shrink it. A screen font without outlines (the view's "MS Sans Serif"
// is one) cannot be drawn at the printer's resolution: its text goes out in Tahoma, the
// outline face that stands in for it, or else in DejaVu Sans.
constexpr qreal kScreenDpi = 96.0;

QString outlineSubstitute() {
  for (const QString &family : {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")})
    if (QFontDatabase::isScalable(family)) return family;
  return {};
}

// The changes `font` (resolved) needs on paper; false when it needs none.
bool paperChanges(const QFont &font, std::optional<qreal> &points, QString &family) {
  if (font.pixelSize() > 0) points = font.pixelSize() * 72.0 / kScreenDpi;
  const QString shown = QFontInfo(font).family();
  if (!QFontDatabase::isScalable(shown)) {
    const QString substitute = outlineSubstitute();
    if (!substitute.isEmpty() && substitute != shown) family = substitute;
  }
  return points || !family.isEmpty();
}

QFont onPaper(QFont font) {
  std::optional<qreal> points;
  QString family;
  if (paperChanges(font, points, family)) {
    if (points) font.setPointSizeF(*points);
    if (!family.isEmpty()) font.setFamilies({family});
  }
  return font;
}

void prepareFontsForPaper(QTextDocument &document) {
  const QFont base = document.defaultFont();
  document.setDefaultFont(onPaper(base));
  struct Run {
    int position;
    int length;
    QTextCharFormat format;
  };
  std::vector<Run> runs; // gathered first: changing formats re-cuts the fragments
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      QTextCharFormat format = fragment.charFormat();
      std::optional<qreal> points;
      QString family;
      if (!paperChanges(format.font().resolve(base), points, family)) continue;
      if (points) {
        format.clearProperty(QTextFormat::FontPixelSize);
        format.setFontPointSize(*points);
      }
      if (!family.isEmpty()) format.setFontFamilies(QStringList{family});
      runs.push_back({fragment.position(), fragment.length(), format});
    }
  for (const Run &run : runs) {
    QTextCursor cursor(&document);
    cursor.setPosition(run.position);
    cursor.setPosition(run.position + run.length, QTextCursor::KeepAnchor);
    cursor.setCharFormat(run.format);
  }
}

} // namespace

PrintLayout::PrintLayout(const QTextDocument &source, QPaintDevice &device, QSizeF page)
    : document_(source.clone()), page_(page) {
  prepareFontsForPaper(*document_);
  document_->setDocumentMargin(0);
  document_->documentLayout()->setPaintDevice(&device);
  // Unpaginated: the cut into pages is ours, by the slices below.
  document_->setTextWidth(page.width());
  document_->documentLayout()->documentSize(); // lays the whole document out
  collectSlices(document_->rootFrame());
}

PrintLayout::~PrintLayout() = default;

int PrintLayout::textLength() const {
  return std::max(0, document_->characterCount() - 1);
}

void PrintLayout::collectSlices(QTextFrame *frame) {
  QAbstractTextDocumentLayout *layout = document_->documentLayout();
  for (auto it = frame->begin(); !it.atEnd(); ++it) {
    if (QTextFrame *child = it.currentFrame()) {
      if (qobject_cast<QTextTable *>(child))
        collectTableRows(child);
      else
        collectSlices(child);
      continue;
    }
    const QTextBlock block = it.currentBlock();
    const QTextLayout *lines = block.layout();
    const qreal blockTop = layout->blockBoundingRect(block).top();
    if (!lines || lines->lineCount() == 0) {
      const QRectF rect = layout->blockBoundingRect(block);
      slices_.push_back({block.position(), rect.top(), rect.bottom()});
      continue;
    }
    for (int i = 0; i < lines->lineCount(); ++i) {
      const QTextLine line = lines->lineAt(i);
      const qreal top = blockTop + line.y(); // the block's rectangle starts at its first line
      slices_.push_back(
          {block.position() + line.textStart(), top, top + line.height(), block.blockNumber(), i});
    }
  }
}

// A table row is cut as a whole: its cells lie side by side, and a cut through one of them
// would cut through its neighbours' lines.
void PrintLayout::collectTableRows(QTextFrame *frame) {
  auto *table = qobject_cast<QTextTable *>(frame);
  QAbstractTextDocumentLayout *layout = document_->documentLayout();
  const QRectF tableRect = layout->frameBoundingRect(table);
  const int rows = table->rows();
  std::vector<qreal> rowTops(std::size_t(rows) + 1, tableRect.bottom());
  rowTops[0] = tableRect.top();
  for (int row = 1; row < rows; ++row) {
    qreal top = std::numeric_limits<qreal>::max();
    for (int column = 0; column < table->columns(); ++column) {
      const QTextTableCell cell = table->cellAt(row, column);
      if (cell.row() != row) continue; // covered by a cell that starts higher up
      const QTextBlock first = document_->findBlock(cell.firstPosition());
      top = std::min(top, layout->blockBoundingRect(first).top());
    }
    rowTops[std::size_t(row)] =
        top == std::numeric_limits<qreal>::max() ? rowTops[std::size_t(row) - 1] : top;
  }
  for (int row = 0; row < rows; ++row) {
    const int position = table->cellAt(row, 0).firstPosition();
    slices_.push_back({position, rowTops[std::size_t(row)],
                       std::max(rowTops[std::size_t(row)], rowTops[std::size_t(row) + 1])});
  }
}

std::pair<std::size_t, std::size_t> PrintLayout::pageSlices(int from) const {
  // The slice that holds `from`: the last one starting at or before it.
  auto holder =
      std::upper_bound(slices_.begin(), slices_.end(), from,
                       [](int position, const Slice &s) { return position < s.position; });
  const std::size_t first =
      holder == slices_.begin() ? 0 : std::size_t(holder - slices_.begin()) - 1;
  const qreal top = slices_[first].top;
  std::size_t end = first;
  constexpr qreal kTolerance = 0.01; // rounding of the layout's coordinates
  while (end < slices_.size() && slices_[end].bottom - top <= page_.height() + kTolerance)
    ++end;
  if (end == first) end = first + 1; // nothing fits on a fresh page: this slice alone, clipped
  return {first, end};
}

int PrintLayout::positionAfter(std::size_t end) const {
  return end < slices_.size() ? slices_[end].position : textLength();
}

int PrintLayout::measureRange(int from) const {
  if (slices_.empty()) return textLength();
  return positionAfter(pageSlices(from).second);
}

// Qt's layout draws, of a block that the drawing area begins inside, the line just above
// the area as well: clipped away on paper, but its text would still be in the page's text
// (a PDF's, say). So the lines of such a block are drawn one by one, and the layout draws
// from the next block on.
qreal PrintLayout::drawLeadingLines(std::size_t first, std::size_t end, QPainter &painter) const {
  const Slice &start = slices_[first];
  if (start.line <= 0) return start.top;
  const QTextBlock block = document_->findBlockByNumber(start.block);
  const QRectF rect = document_->documentLayout()->blockBoundingRect(block);
  painter.setPen(Qt::black);
  for (std::size_t i = first; i < end && slices_[i].block == start.block; ++i)
    block.layout()->lineAt(slices_[i].line).draw(&painter, rect.topLeft());
  return rect.bottom();
}

int PrintLayout::formatRange(int from, QPainter &painter) {
  if (slices_.empty()) return textLength();
  const auto [first, end] = pageSlices(from);
  const qreal top = slices_[first].top;
  const qreal bottom = top + std::min(page_.height(), slices_[end - 1].bottom - top);

  painter.save();
  painter.setClipRect(QRectF(0, 0, page_.width(), bottom - top), Qt::IntersectClip);
  painter.translate(0, -top);
  const qreal rest = drawLeadingLines(first, end, painter);
  // The lines just above and below the area touch its edges; a hair inside keeps them out.
  constexpr qreal kHair = 1.0; // device pixels
  if (bottom - rest > 2 * kHair) {
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, rest + kHair, page_.width(), bottom - rest - 2 * kHair);
    context.palette.setColor(QPalette::Text, Qt::black);
    document_->documentLayout()->draw(&painter, context);
  }
  painter.restore();
  return positionAfter(end);
}

} // namespace output
