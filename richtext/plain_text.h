// The plain text of a document, as the save and print commands take it from the text view.
#pragma once

#include <QChar>
#include <QString>

class QTextDocument;

namespace velanta::richtext {

// The rules:
//  - characters without formatting; paragraphs separated by one LF, no LF after the last;
//  - a line break inside a paragraph (RTF \line, U+2028) gives LF too, so the exported file
//    has the same lines as the view; a page break (\page) ends the paragraph, so it gives LF;
//  - a table row's cells separated by cellSeparator (TAB), rows by LF; paragraphs inside a
//    cell by LF; a nested table's rows inside its cell the same way; a cell covered by a
//    horizontal merge gives nothing, one covered by a vertical merge gives an empty field;
//  - list numbers and bullets as shown (they are text of the paragraph);
//  - pictures and objects (U+FFFC) give nothing.
struct PlainTextOptions {
  QChar cellSeparator = u'\t';
};

QString documentPlainText(const QTextDocument &document, const PlainTextOptions &options = {});

} // namespace velanta::richtext
