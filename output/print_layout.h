// A document laid out for a printer's page and cut into pages the way a rich-text control
// prints: from a character position, as much as fits the page rectangle; the answer is the
// position of the first character that did not fit.
#pragma once

#include <QSizeF>

#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;
class QTextDocument;
class QTextFrame;

namespace output {

class PrintLayout {
public:
  // Lays out a copy of `source` for `device` (its resolution gives the fonts' sizes), with
  // lines wrapped to `page`'s width; `page` is in the device's pixels.
  PrintLayout(const QTextDocument &source, QPaintDevice &device, QSizeF page);
  ~PrintLayout();
  PrintLayout(const PrintLayout &) = delete;
  PrintLayout &operator=(const PrintLayout &) = delete;

  // The length of the text in characters (without the document's closing separator).
  int textLength() const;

  // Draws, on `painter` at the page's corner, the lines from `from` on that fit the page,
  // and returns the position of the first character that did not fit (textLength() when
  // everything did). A line or table row taller than the page never fits: it is drawn
  // alone, clipped to the page, and the answer lies past it, so every call moves on.
  int formatRange(int from, QPainter &painter);

  // The same cut without drawing.
  int measureRange(int from) const;

private:
  // A piece the pages are cut between: a line of text, or a whole table row.
  struct Slice {
    int position;
    qreal top;
    qreal bottom;
    int block = -1; // a line: its block's number and its index there
    int line = -1;
  };
  // Draws the lines of the page's first block when the page begins inside it; returns
  // where the rest of the page begins.
  qreal drawLeadingLines(std::size_t first, std::size_t end, QPainter &painter) const;
  void collectSlices(QTextFrame *frame);
  void collectTableRows(QTextFrame *table);
  // Index of the slice holding position `from`, and one past the last that fits with it.
  std::pair<std::size_t, std::size_t> pageSlices(int from) const;
  int positionAfter(std::size_t end) const;

  std::unique_ptr<QTextDocument> document_;
  QSizeF page_;
  std::vector<Slice> slices_;
};

} // namespace output
