#include "richtext/rtf_reader.h"

#include "richtext/document_builder.h"
#include "richtext/plain_text_writer.h"
#include "richtext/rtf_interpreter.h"

#include <QTextDocument>

namespace velanta::richtext {

QString RtfReadResult::message() const {
  switch (error) {
  case RtfError::None:
    return {};
  case RtfError::NotRtf:
    return QStringLiteral("not RTF: the data does not begin with {\\rtf");
  }
  return {};
}

bool startsLikeRtf(QByteArrayView bytes) {
  qsizetype i = 0;
  while (i < bytes.size() &&
         (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
    ++i;
  const QByteArrayView rest = bytes.sliced(i);
  if (!rest.startsWith("{\\rtf")) return false;
  // The control word must be "rtf" itself, not a longer word that begins so.
  if (rest.size() == 5) return true;
  const char next = rest[5];
  return !((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z'));
}

RtfReadResult readRtf(QByteArrayView rtf, QTextDocument &document, const RtfReadOptions &options) {
  const bool undo = document.isUndoRedoEnabled();
  document.setUndoRedoEnabled(false);
  document.clear();
  document.setDefaultFont(options.defaultFont);
  RtfReadResult result;
  {
    detail::DocumentBuilder builder(document, options.loadPictures);
    detail::Interpreter interpreter(builder, detail::ReadMode::Rich, options.loadPictures);
    builder.attach(interpreter);
    result = interpreter.run(rtf);
    if (result.ok()) builder.finish();
  }
  if (!result.ok()) document.clear();
  document.setUndoRedoEnabled(undo);
  return result;
}

RtfReadResult rtfToPlainText(QByteArrayView rtf, QString &text, const PlainTextOptions &options) {
  text.clear();
  detail::PlainTextWriter writer(text, options);
  detail::Interpreter interpreter(writer, detail::ReadMode::PlainText, false);
  const RtfReadResult result = interpreter.run(rtf);
  if (!result.ok()) text.clear();
  return result;
}

} // namespace velanta::richtext
