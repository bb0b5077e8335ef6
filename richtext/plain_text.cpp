#include "richtext/plain_text.h"

#include "richtext/document_markers.h"
#include "richtext/plain_text_writer.h"

#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

namespace velanta::richtext {

namespace {
constexpr char16_t kObjectReplacement = 0xFFFC;

// A block's characters: line and paragraph separators as LF, objects (pictures) dropped.
void appendCharacters(QStringView text, QString &out) {
  for (const QChar c : text) {
    switch (c.unicode()) {
    case kObjectReplacement:
      break;
    case QChar::LineSeparator:
    case QChar::ParagraphSeparator:
      out.append(u'\n');
      break;
    default:
      out.append(c);
    }
  }
}

class DocumentWalker {
public:
  DocumentWalker(QString &out, const PlainTextOptions &options) : out_(out), options_(options) {}

  // The frame's children, separated by LF.
  void writeFrame(QTextFrame::iterator it) {
    bool first = true;
    for (; !it.atEnd(); ++it) {
      if (QTextFrame *frame = it.currentFrame()) {
        if (!first) out_.append(u'\n');
        first = false;
        if (auto *table = qobject_cast<QTextTable *>(frame))
          writeTable(*table);
        else
          writeFrame(frame->begin());
        continue;
      }
      const QTextBlock block = it.currentBlock();
      if (block.blockFormat().boolProperty(detail::kStructuralBlockProperty)) continue;
      if (!first) out_.append(u'\n');
      first = false;
      appendCharacters(block.text(), out_);
    }
  }

private:
  void writeTable(const QTextTable &table) {
    for (int r = 0; r < table.rows(); ++r) {
      if (r > 0) out_.append(u'\n');
      bool firstField = true;
      for (int c = 0; c < table.columns(); ++c) {
        const QTextTableCell cell = table.cellAt(r, c);
        if (cell.column() != c) // covered by a cell spanning from the left
          continue;
        if (cell.format().boolProperty(detail::kFillerCellProperty)) continue;
        if (!firstField) out_.append(options_.cellSeparator);
        firstField = false;
        if (cell.row() != r) // covered by a cell spanning from above: an empty field
          continue;
        writeFrame(cell.begin());
      }
    }
  }

  QString &out_;
  const PlainTextOptions &options_;
};
} // namespace

QString documentPlainText(const QTextDocument &document, const PlainTextOptions &options) {
  QString out;
  DocumentWalker(out, options).writeFrame(document.rootFrame()->begin());
  return out;
}

namespace detail {

void PlainTextWriter::block(Block &&block) {
  if (!first_) out_.append(u'\n');
  first_ = false;
  write(block);
}

void PlainTextWriter::write(const Block &block) {
  if (const auto *paragraph = std::get_if<Paragraph>(&block))
    writeText(paragraph->text);
  else
    writeTable(*std::get<std::unique_ptr<Table>>(block));
}

void PlainTextWriter::writeBlocks(const std::vector<Block> &blocks) {
  bool first = true;
  for (const Block &block : blocks) {
    if (!first) out_.append(u'\n');
    first = false;
    write(block);
  }
}

void PlainTextWriter::writeTable(const Table &table) {
  bool firstRow = true;
  for (const Row &row : table.rows) {
    if (!firstRow) out_.append(u'\n');
    firstRow = false;
    bool firstField = true;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      const CellDef def = row.def.cell(i);
      if (def.horizontal == Merge::Continue) // merged into the cell on its left
        continue;
      if (!firstField) out_.append(options_.cellSeparator);
      firstField = false;
      if (def.vertical == Merge::Continue) // merged into the cell above: an empty field
        continue;
      writeBlocks(row.cells[i].blocks);
    }
  }
}

void PlainTextWriter::writeText(const QString &text) {
  appendCharacters(text, out_);
}

} // namespace detail
} // namespace velanta::richtext
