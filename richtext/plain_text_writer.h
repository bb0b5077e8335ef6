// Plain text straight from the interpreter's blocks (the fast path), by the rules of
// documentPlainText().
#pragma once

#include "richtext/plain_text.h"
#include "richtext/rtf_content.h"

namespace velanta::richtext::detail {

class PlainTextWriter final : public BlockSink {
public:
  PlainTextWriter(QString &out, const PlainTextOptions &options) : out_(out), options_(options) {}
  void block(Block &&block) override;

private:
  void write(const Block &block);
  void writeBlocks(const std::vector<Block> &blocks);
  void writeTable(const Table &table);
  void writeText(const QString &text);

  QString &out_;
  const PlainTextOptions options_;
  bool first_ = true;
};

} // namespace velanta::richtext::detail
