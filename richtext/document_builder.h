// Writes the interpreter's blocks into a QTextDocument: paragraphs with their formats, tables
// as QTextTable on a column grid made from the rows' \cellx edges, pictures as images.
#pragma once

#include "richtext/rtf_content.h"

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextTableCell>

#include <optional>
#include <vector>

class QTextDocument;

namespace velanta::richtext::detail {

class Interpreter;

class DocumentBuilder final : public BlockSink {
public:
  DocumentBuilder(QTextDocument &document, bool loadPictures);
  ~DocumentBuilder() override;
  DocumentBuilder(const DocumentBuilder &) = delete;
  DocumentBuilder &operator=(const DocumentBuilder &) = delete;
  void attach(Interpreter &interpreter) { interpreter_ = &interpreter; }

  void block(Block &&block) override;
  // After the last block: marks a block Qt keeps after a closing table as structural.
  void finish();

private:
  // Where the next block goes: `fresh` when the cursor's block is still unused (the first
  // block of the document or of a cell, or the block Qt puts after a table).
  struct Position {
    QTextCursor cursor;
    bool fresh = true;
    bool afterTable = false;
  };
  void insert(Position &at, Block &block);
  void insertParagraph(Position &at, Paragraph &paragraph);
  void insertTable(Position &at, Table &table);
  void insertBlocks(Position &at, std::vector<Block> &blocks);
  void endBlocks(Position &at);
  void insertPicture(QTextCursor &cursor, const Run &run);
  void applyCellFormat(QTextTableCell &cell, const Row &row, std::size_t index);
  const QTextCharFormat &charFormat(int index);

  QTextDocument &document_;
  const bool loadPictures_;
  Interpreter *interpreter_ = nullptr;
  Position root_;
  std::vector<std::optional<QTextCharFormat>> formats_;
  int pictureCount_ = 0;
};

} // namespace velanta::richtext::detail
