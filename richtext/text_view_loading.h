// The text view's loading rule for a memo value (the document's body).
#pragma once

#include "richtext/plain_text.h"

#include <QByteArrayView>
#include <QFont>
#include <QString>

class QTextDocument;

namespace velanta::richtext {

// What the view shows when the value is neither RTF nor plain text: the platform's stream
// error, in parentheses.
inline constexpr char16_t kFailedToLoadStreamText[] = u"(Failed to Load Stream)";

enum class TextViewLoad {
  RichText,  // valid RTF (see startsLikeRtf / readRtf for what counts as valid)
  PlainText, // not RTF: the bytes as code page 1251 text in the view's font
  Failed,    // not text either (NUL bytes inside it): the view shows kFailedToLoadStreamText
};

// Replaces the document's content with the memo's bytes by the rule: RTF when valid; else
// plain text decoded from code page 1251, in viewFont; else kFailedToLoadStreamText in
// viewFont. viewFont also becomes the document's default font, so RTF text that names no
// font or size shows in it. Empty bytes give an empty document (PlainText).
TextViewLoad loadTextViewMemo(QByteArrayView bytes, QTextDocument &document, const QFont &viewFont);

// The plain text (documentPlainText) of what loadTextViewMemo() shows for the bytes, read
// without building the document.
QString textViewPlainText(QByteArrayView bytes, const PlainTextOptions &options = {});

} // namespace velanta::richtext
