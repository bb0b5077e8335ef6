#include "richtext/document_builder.h"

#include "richtext/document_markers.h"
#include "richtext/rtf_interpreter.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTextBlockFormat>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <map>

namespace velanta::richtext::detail {

namespace {
// Twips (1/1440 inch) to the document's pixels (96 per inch).
qreal pixels(int twips) {
  return twips / 15.0;
}

constexpr int kMaxGridColumns = 256;
constexpr int kEdgeTolerance = 8; // twips: edges closer than this are one column edge
constexpr int kMaxPicturePixels = 4000;

QTextBlockFormat blockFormat(const Paragraph &paragraph) {
  const ParaState &p = paragraph.format;
  QTextBlockFormat f;
  switch (p.alignment) {
  case Alignment::Left:
    f.setAlignment(Qt::AlignLeft);
    break;
  case Alignment::Center:
    f.setAlignment(Qt::AlignHCenter);
    break;
  case Alignment::Right:
    f.setAlignment(Qt::AlignRight);
    break;
  case Alignment::Justify:
    f.setAlignment(Qt::AlignJustify);
    break;
  }
  f.setLeftMargin(std::max(0.0, pixels(p.leftTw)));
  f.setRightMargin(std::max(0.0, pixels(p.rightTw)));
  f.setTextIndent(pixels(p.firstTw));
  f.setTopMargin(std::max(0.0, pixels(p.beforeTw)));
  f.setBottomMargin(std::max(0.0, pixels(p.afterTw)));
  if (p.lineTw != 0) {
    if (p.lineMultiple)
      f.setLineHeight(std::clamp(std::abs(p.lineTw) * 100.0 / 240.0, 50.0, 500.0),
                      QTextBlockFormat::ProportionalHeight);
    else if (p.lineTw > 0)
      f.setLineHeight(pixels(p.lineTw), QTextBlockFormat::MinimumHeight);
    else
      f.setLineHeight(pixels(-p.lineTw), QTextBlockFormat::FixedHeight);
  }
  if (p.tabCount > 0) {
    QList<QTextOption::Tab> tabs;
    for (std::size_t i = 0; i < p.tabCount; ++i) {
      const TabStop &stop = p.tabs[i];
      const auto type = stop.kind == TabKind::Right     ? QTextOption::RightTab
                        : stop.kind == TabKind::Center  ? QTextOption::CenterTab
                        : stop.kind == TabKind::Decimal ? QTextOption::DelimiterTab
                                                        : QTextOption::LeftTab;
      tabs.append(QTextOption::Tab(pixels(stop.positionTw), type,
                                   stop.kind == TabKind::Decimal ? QChar(u',') : QChar()));
    }
    f.setTabPositions(tabs);
  }
  if (paragraph.pageBreakBefore) f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
  return f;
}

QImage placeholderImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(0xee, 0xee, 0xee));
  QPainter painter(&image);
  painter.setPen(QColor(0xaa, 0xaa, 0xaa));
  painter.drawRect(0, 0, width - 1, height - 1);
  return image;
}

// The column grid of a table: every distinct cell edge of every row is a column edge.
struct Slot {
  int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
  Cell *cell = nullptr;       // null: an empty cell (a vertical merge that had nothing to join)
  std::size_t definition = 0; // the cell's index in its row, for its \cellx definition
};
struct Layout {
  int rows = 0, columns = 0;
  std::vector<int> edgesTw; // columns + 1 edges, or empty for the uniform fallback
  std::vector<Slot> cells;
};

std::vector<std::pair<int, int>> cellEdges(const Row &row) {
  std::vector<std::pair<int, int>> edges;
  int left = row.def.leftTw;
  for (std::size_t i = 0; i < row.cells.size(); ++i) {
    int right = i < row.def.cells.size() ? row.def.cells[i].rightTw : left + 1440;
    if (right <= left) right = left + 1; // unusable widths: the layout falls back to a uniform grid
    edges.emplace_back(left, right);
    left = right;
  }
  return edges;
}

// Places the rows' cells on a grid of `columns` columns, `columnOf` giving each cell's
// first and end column. Returns false when the cells do not fit side by side.
template <typename ColumnOf> bool placeCells(Table &table, Layout &layout, ColumnOf columnOf) {
  std::vector<std::vector<int>> owner(table.rows.size(),
                                      std::vector<int>(std::size_t(layout.columns), -1));
  layout.cells.clear();
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    Row &row = table.rows[r];
    int nextFree = 0;
    int previous = -1; // slot of this row's previous cell
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      const auto [c0, c1] = columnOf(r, i);
      if (c0 < nextFree || c1 <= c0 || c1 > layout.columns) return false;
      nextFree = c1;
      const CellDef def = row.def.cell(i);
      if (def.horizontal == Merge::Continue) {
        // Joins the cell on its left when that one ends here; otherwise the place stays empty.
        if (previous >= 0) {
          Slot &left = layout.cells[std::size_t(previous)];
          if (left.row == int(r) && left.column + left.columnSpan == c0) {
            left.columnSpan = c1 - left.column;
            for (int c = c0; c < c1; ++c)
              owner[r][std::size_t(c)] = previous;
          }
        }
        continue;
      }
      if (def.vertical == Merge::Continue && r > 0) {
        const int above = owner[r - 1][std::size_t(c0)];
        if (above >= 0) {
          Slot &top = layout.cells[std::size_t(above)];
          if (top.column == c0 && top.column + top.columnSpan == c1 &&
              top.row + top.rowSpan == int(r)) {
            ++top.rowSpan;
            for (int c = c0; c < c1; ++c)
              owner[r][std::size_t(c)] = above;
            previous = -1;
            continue;
          }
        }
      }
      const int index = int(layout.cells.size());
      layout.cells.push_back(Slot{int(r), c0, 1, c1 - c0,
                                  def.vertical == Merge::Continue ? nullptr : &row.cells[i], i});
      for (int c = c0; c < c1; ++c)
        owner[r][std::size_t(c)] = index;
      previous = index;
    }
  }
  return true;
}

Layout layoutTable(Table &table) {
  Layout layout;
  layout.rows = int(table.rows.size());
  std::vector<int> edges;
  for (const Row &row : table.rows)
    for (const auto &[left, right] : cellEdges(row)) {
      edges.push_back(left);
      edges.push_back(right);
    }
  std::sort(edges.begin(), edges.end());
  std::vector<int> merged;
  for (const int edge : edges)
    if (merged.empty() || edge - merged.back() > kEdgeTolerance) merged.push_back(edge);
  const auto columnOfEdge = [&merged](int edge) {
    const auto it = std::upper_bound(merged.begin(), merged.end(), edge + kEdgeTolerance);
    return int(it - merged.begin()) - 1;
  };
  if (merged.size() >= 2 && int(merged.size()) - 1 <= kMaxGridColumns) {
    layout.columns = int(merged.size()) - 1;
    std::vector<std::vector<std::pair<int, int>>> rowEdges;
    for (const Row &row : table.rows)
      rowEdges.push_back(cellEdges(row));
    const bool placed = placeCells(table, layout, [&](std::size_t r, std::size_t i) {
      const auto [left, right] = rowEdges[r][i];
      return std::pair{columnOfEdge(left), columnOfEdge(right)};
    });
    if (placed) {
      layout.edgesTw = merged;
      return layout;
    }
  }
  // Uniform fallback: cell i of every row in column i.
  std::size_t widest = 1;
  for (const Row &row : table.rows)
    widest = std::max(widest, row.cells.size());
  layout.columns = int(widest);
  layout.edgesTw.clear();
  placeCells(table, layout, [](std::size_t, std::size_t i) {
    return std::pair{int(i), int(i) + 1};
  });
  return layout;
}
} // namespace

DocumentBuilder::DocumentBuilder(QTextDocument &document, bool loadPictures)
    : document_(document), loadPictures_(loadPictures) {
  root_.cursor = QTextCursor(&document_);
  // One edit for the whole reading: the document is laid out once, at the end, not after
  // every insertion.
  root_.cursor.beginEditBlock();
}

DocumentBuilder::~DocumentBuilder() {
  root_.cursor.endEditBlock();
}

void DocumentBuilder::block(Block &&block) {
  insert(root_, block);
}

void DocumentBuilder::finish() {
  endBlocks(root_);
}

void DocumentBuilder::insert(Position &at, Block &block) {
  if (auto *paragraph = std::get_if<Paragraph>(&block))
    insertParagraph(at, *paragraph);
  else
    insertTable(at, *std::get<std::unique_ptr<Table>>(block));
}

void DocumentBuilder::insertBlocks(Position &at, std::vector<Block> &blocks) {
  for (Block &block : blocks)
    insert(at, block);
  endBlocks(at);
}

void DocumentBuilder::endBlocks(Position &at) {
  if (at.fresh && at.afterTable) {
    QTextBlockFormat f;
    f.setProperty(kStructuralBlockProperty, true);
    at.cursor.setBlockFormat(f);
  }
}

void DocumentBuilder::insertParagraph(Position &at, Paragraph &paragraph) {
  QTextCursor &cursor = at.cursor;
  if (!at.fresh) cursor.insertBlock();
  at.fresh = false;
  at.afterTable = false;
  cursor.setBlockFormat(blockFormat(paragraph));
  // The paragraph mark takes the format of the paragraph's first run, so an empty line keeps
  // the height of the text around it. Merged, not set: at the start of a table cell the mark's
  // format is the cell's own, which holds its spans.
  if (!paragraph.runs.empty())
    cursor.mergeBlockCharFormat(charFormat(paragraph.runs.front().format));
  for (const Run &run : paragraph.runs) {
    if (run.picture >= 0)
      insertPicture(cursor, run);
    else
      cursor.insertText(paragraph.text.mid(run.start, run.length), charFormat(run.format));
  }
}

void DocumentBuilder::insertTable(Position &at, Table &table) {
  if (table.rows.empty()) return;
  if (at.fresh) {
    // The block before the table holds no paragraph of the document.
    QTextBlockFormat f;
    f.setProperty(kStructuralBlockProperty, true);
    at.cursor.setBlockFormat(f);
  }
  Layout layout = layoutTable(table);

  QTextTableFormat format;
  // Borders are drawn per cell, by the sides the RTF gives; the table has none of its own.
  format.setBorder(0);
  format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
  format.setBorderBrush(QColor(Qt::black));
  format.setBorderCollapse(true);
  format.setCellSpacing(0);
  format.setCellPadding(std::clamp(pixels(table.rows.front().def.gapTw), 1.0, 20.0));
  switch (table.rows.front().def.alignment) {
  case Alignment::Center:
    format.setAlignment(Qt::AlignHCenter);
    break;
  case Alignment::Right:
    format.setAlignment(Qt::AlignRight);
    break;
  default:
    format.setAlignment(Qt::AlignLeft);
    break;
  }
  if (!layout.edgesTw.empty()) {
    QList<QTextLength> widths;
    for (int c = 0; c < layout.columns; ++c)
      widths.append(
          QTextLength(QTextLength::FixedLength,
                      pixels(layout.edgesTw[std::size_t(c) + 1] - layout.edgesTw[std::size_t(c)])));
    format.setColumnWidthConstraints(widths);
  }

  QTextTable *qtable = at.cursor.insertTable(layout.rows, layout.columns, format);
  std::vector<std::vector<bool>> covered(std::size_t(layout.rows),
                                         std::vector<bool>(std::size_t(layout.columns), false));
  for (const Slot &slot : layout.cells) {
    if (slot.rowSpan > 1 || slot.columnSpan > 1)
      qtable->mergeCells(slot.row, slot.column, slot.rowSpan, slot.columnSpan);
    for (int r = slot.row; r < slot.row + slot.rowSpan; ++r)
      for (int c = slot.column; c < slot.column + slot.columnSpan; ++c)
        covered[std::size_t(r)][std::size_t(c)] = true;
  }
  for (int r = 0; r < layout.rows; ++r)
    for (int c = 0; c < layout.columns; ++c)
      if (!covered[std::size_t(r)][std::size_t(c)]) {
        QTextTableCell cell = qtable->cellAt(r, c);
        QTextCharFormat f = cell.format();
        f.setProperty(kFillerCellProperty, true);
        cell.setFormat(f);
      }
  for (const Slot &slot : layout.cells) {
    QTextTableCell cell = qtable->cellAt(slot.row, slot.column);
    const Row &row = table.rows[std::size_t(slot.row)];
    applyCellFormat(cell, row, slot.definition);
    Position inCell{cell.firstCursorPosition(), true, false};
    if (slot.cell) insertBlocks(inCell, slot.cell->blocks);
  }
  at.cursor = qtable->lastCursorPosition();
  at.cursor.movePosition(QTextCursor::NextBlock);
  at.fresh = true;
  at.afterTable = true;
}

void DocumentBuilder::applyCellFormat(QTextTableCell &cell, const Row &row, std::size_t index) {
  const CellDef def = row.def.cell(index);
  // A cell without borders of its own takes the row's (older writers give only those).
  std::uint8_t sides = def.borders;
  if (sides == 0 && row.def.borders != 0) {
    const auto rowHas = [&row](int bits) { return (row.def.borders & bits) != 0; };
    sides = std::uint8_t((rowHas(kBorderTop | kBorderInsideH) ? kBorderTop : 0) |
                         (rowHas(kBorderBottom | kBorderInsideH) ? kBorderBottom : 0) |
                         (rowHas(kBorderLeft | kBorderInsideV) ? kBorderLeft : 0) |
                         (rowHas(kBorderRight | kBorderInsideV) ? kBorderRight : 0));
  }
  const auto shade = interpreter_->colour(def.shading);
  if (sides == 0 && !shade) return;
  QTextTableCellFormat f = cell.format().toTableCellFormat();
  const QBrush black(Qt::black);
  if (sides & kBorderTop) {
    f.setTopBorder(1);
    f.setTopBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setTopBorderBrush(black);
  }
  if (sides & kBorderLeft) {
    f.setLeftBorder(1);
    f.setLeftBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setLeftBorderBrush(black);
  }
  if (sides & kBorderBottom) {
    f.setBottomBorder(1);
    f.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBottomBorderBrush(black);
  }
  if (sides & kBorderRight) {
    f.setRightBorder(1);
    f.setRightBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setRightBorderBrush(black);
  }
  if (shade) f.setBackground(QColor::fromRgb(*shade));
  cell.setFormat(f);
}

void DocumentBuilder::insertPicture(QTextCursor &cursor, const Run &run) {
  const Picture picture = interpreter_->takePicture(run.picture);
  QImage image;
  if (loadPictures_ && !picture.data.isEmpty()) {
    if (picture.kind == Picture::Kind::Png)
      image.loadFromData(picture.data, "PNG");
    else if (picture.kind == Picture::Kind::Jpeg)
      image.loadFromData(picture.data, "JPEG");
  }
  qreal width = 0, height = 0;
  if (picture.widthGoalTw > 0 && picture.heightGoalTw > 0) {
    width = pixels(picture.widthGoalTw);
    height = pixels(picture.heightGoalTw);
  } else if (!image.isNull()) {
    width = image.width();
    height = image.height();
  } else if (picture.kind == Picture::Kind::Other) {
    // Metafiles give their size in hundredths of a millimetre.
    width = picture.width * 96.0 / 2540.0;
    height = picture.height * 96.0 / 2540.0;
  } else {
    width = picture.width;
    height = picture.height;
  }
  width = std::clamp(width * picture.scaleX / 100.0, 1.0, qreal(kMaxPicturePixels));
  height = std::clamp(height * picture.scaleY / 100.0, 1.0, qreal(kMaxPicturePixels));
  if (image.isNull()) image = placeholderImage(std::max(1, int(width)), std::max(1, int(height)));

  const QUrl name(QStringLiteral("velanta-picture:%1").arg(++pictureCount_));
  document_.addResource(QTextDocument::ImageResource, name, image);
  QTextImageFormat format;
  format.merge(charFormat(run.format));
  format.setName(name.toString());
  format.setWidth(width);
  format.setHeight(height);
  cursor.insertImage(format);
}

const QTextCharFormat &DocumentBuilder::charFormat(int index) {
  if (std::size_t(index) >= formats_.size()) formats_.resize(std::size_t(index) + 1);
  auto &slot = formats_[std::size_t(index)];
  if (slot) return *slot;
  const CharState &c = interpreter_->format(index);
  QTextCharFormat f;
  const int fontNumber = c.font >= 0 ? c.font : interpreter_->defaultFont();
  if (const FontEntry *font = interpreter_->font(fontNumber); font && !font->name.isEmpty()) {
    f.setFontFamilies({font->name});
    switch (font->family) {
    case FontEntry::Family::Roman:
      f.setFontStyleHint(QFont::Serif);
      break;
    case FontEntry::Family::Swiss:
      f.setFontStyleHint(QFont::SansSerif);
      break;
    case FontEntry::Family::Modern:
      f.setFontStyleHint(QFont::TypeWriter);
      break;
    case FontEntry::Family::Script:
      f.setFontStyleHint(QFont::Cursive);
      break;
    case FontEntry::Family::Decor:
      f.setFontStyleHint(QFont::Decorative);
      break;
    default:
      break;
    }
    if (font->fixedPitch) f.setFontFixedPitch(true);
  }
  if (c.halfPoints > 0) f.setFontPointSize(c.halfPoints / 2.0);
  if (c.bold) f.setFontWeight(QFont::Bold);
  if (c.italic) f.setFontItalic(true);
  switch (c.underline) {
  case Underline::None:
    break;
  case Underline::Dotted:
    f.setUnderlineStyle(QTextCharFormat::DotLine);
    break;
  case Underline::Dashed:
    f.setUnderlineStyle(QTextCharFormat::DashUnderline);
    break;
  case Underline::Wave:
    f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    break;
  default:
    f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    break;
  }
  if (c.strike) f.setFontStrikeOut(true);
  if (c.caps)
    f.setFontCapitalization(QFont::AllUppercase);
  else if (c.smallCaps)
    f.setFontCapitalization(QFont::SmallCaps);
  if (const auto colour = interpreter_->colour(c.foreground))
    f.setForeground(QColor::fromRgb(*colour));
  if (const auto colour = interpreter_->colour(c.highlight ? c.highlight : c.background))
    f.setBackground(QColor::fromRgb(*colour));
  if (c.position == VerticalPosition::Super)
    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  else if (c.position == VerticalPosition::Sub)
    f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
  slot = f;
  return *slot;
}

} // namespace velanta::richtext::detail
