#include "richtext/text_view_loading.h"

#include "richtext/rtf_reader.h"

#include <QStringDecoder>
#include <QTextDocument>

#include <optional>

namespace velanta::richtext {

namespace {
// The bytes as plain text, as the view shows it: code page 1251, CR LF and lone CR as line
// ends. Not text when a NUL byte stands inside them: no character of a text a user stored is
// NUL, so they are binary data (NULs that only pad the end are dropped).
std::optional<QString> plainText(QByteArrayView bytes) {
  while (!bytes.isEmpty() && bytes.back() == '\0')
    bytes.chop(1);
  if (bytes.contains('\0')) return std::nullopt;
  QStringDecoder decoder("windows-1251");
  QString text = decoder.decode(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

void setPlainText(QTextDocument &document, const QString &text) {
  const bool undo = document.isUndoRedoEnabled();
  document.setUndoRedoEnabled(false);
  document.setPlainText(text);
  document.setUndoRedoEnabled(undo);
}
} // namespace

QString textViewPlainText(QByteArrayView bytes, const PlainTextOptions &options) {
  if (startsLikeRtf(bytes)) {
    QString text;
    if (rtfToPlainText(bytes, text, options).ok()) return text;
  }
  return plainText(bytes).value_or(QString::fromUtf16(kFailedToLoadStreamText));
}

TextViewLoad loadTextViewMemo(QByteArrayView bytes, QTextDocument &document,
                              const QFont &viewFont) {
  document.setDefaultFont(viewFont);
  if (startsLikeRtf(bytes)) {
    RtfReadOptions options;
    options.defaultFont = viewFont;
    if (readRtf(bytes, document, options).ok()) return TextViewLoad::RichText;
  }
  if (const auto text = plainText(bytes)) {
    setPlainText(document, *text);
    return TextViewLoad::PlainText;
  }
  setPlainText(document, QString::fromUtf16(kFailedToLoadStreamText));
  return TextViewLoad::Failed;
}

} // namespace velanta::richtext
