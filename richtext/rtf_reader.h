// Reading RTF, as word processors have written it over the years, into a QTextDocument or
// straight into plain text. One pass over the bytes, group nesting bounded, nothing in the
// document (fields, objects, pictures) ever executed, fetched or opened.
#pragma once

#include "richtext/plain_text.h"

#include <QByteArrayView>
#include <QFont>
#include <QString>

class QTextDocument;

namespace velanta::richtext {

// Deepest group nesting whose state is kept. Word processors mostly stay below 20, but mail
// programs wrapping HTML in RTF nest thousands deep; groups past this depth are read with the
// state of the group that holds them (their own changes last until that group closes), so
// memory stays bounded whatever the input.
inline constexpr int kMaxGroupDepth = 4096;

struct RtfReadOptions {
  // The document's default font: text for which the RTF names no font or no size.
  QFont defaultFont;
  // Decode \pngblip and \jpegblip pictures (off: every picture becomes a placeholder).
  bool loadPictures = true;
};

enum class RtfError {
  None,
  NotRtf, // the bytes do not begin with "{\rtf"
};

struct RtfReadResult {
  RtfError error = RtfError::None;
  // Unbalanced braces that were recovered: groups left open at the end of the data (closed
  // there) or bytes after the document's closing brace (ignored).
  bool recoveredBraces = false;

  bool ok() const { return error == RtfError::None; }
  QString message() const;
};

// What counts as valid RTF (the text view loads anything else as plain text): bytes that
// begin, after optional ASCII white space, with the group "{\rtf" (the control word rtf, with
// or without a version number). Everything after that is recovered, as word processors do: unknown
// control words and \* destinations are skipped, groups still open at the end are closed there (a
// truncated memo keeps its text), bytes after the document's closing brace are ignored, a bad \'hh
// escape gives nothing, nesting past kMaxGroupDepth is flattened.
bool startsLikeRtf(QByteArrayView bytes);

// Replaces the document's content with the RTF. On an error the document is left empty.
RtfReadResult readRtf(QByteArrayView rtf, QTextDocument &document,
                      const RtfReadOptions &options = {});

// The fast path: the same reading rules, straight to the plain text that documentPlainText()
// gives for the document readRtf() builds, without building it.
RtfReadResult rtfToPlainText(QByteArrayView rtf, QString &text,
                             const PlainTextOptions &options = {});

} // namespace velanta::richtext
