#include "richtext/text_view_loading.h"

#include "richtext/rtf_reader.h"

#include <QStringDecoder>
#include <QTextDocument>

namespace velanta::richtext {

namespace {
// Plain text as the view shows it: code page 1251, CR LF and lone CR as line ends.
QString decodePlainText(QByteArrayView bytes) {
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
  if (!bytes.contains('\0')) return decodePlainText(bytes);
  return QString::fromUtf16(kFailedToLoadStreamText);
}

TextViewLoad loadTextViewMemo(QByteArrayView bytes, QTextDocument &document,
                              const QFont &viewFont) {
  document.setDefaultFont(viewFont);
  if (startsLikeRtf(bytes)) {
    RtfReadOptions options;
    options.defaultFont = viewFont;
    if (readRtf(bytes, document, options).ok()) return TextViewLoad::RichText;
  }
  // Not RTF. Plain text it is, unless the bytes are binary data: a NUL byte is no character
  // of any text a user stored, and would cut the text short where it stands.
  if (!bytes.contains('\0')) {
    setPlainText(document, decodePlainText(bytes));
    return TextViewLoad::PlainText;
  }
  setPlainText(document, QString::fromUtf16(kFailedToLoadStreamText));
  return TextViewLoad::Failed;
}

} // namespace velanta::richtext
