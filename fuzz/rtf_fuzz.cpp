// RTF reader under libFuzzer: bytes → QTextDocument → plain text, and the fast plain-text path,
// which must give the same text; the text view's loading rule likewise.
#include "richtext/plain_text.h"
#include "richtext/rtf_reader.h"
#include "richtext/text_view_loading.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
void mustAgree(const QString &viaDocument, const QString &fast, const char *what) {
  if (viaDocument == fast) return;
  std::fprintf(stderr, "%s: the two paths disagree\n document: %s\n fast:     %s\n", what,
               qPrintable(viaDocument.toHtmlEscaped()), qPrintable(fast.toHtmlEscaped()));
  std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const QByteArrayView bytes(data, static_cast<qsizetype>(size));
  namespace rt = velanta::richtext;

  QTextDocument document;
  const rt::RtfReadResult read = rt::readRtf(bytes, document);
  QString fast;
  const rt::RtfReadResult fastRead = rt::rtfToPlainText(bytes, fast);
  if (read.ok() != fastRead.ok()) std::abort();
  mustAgree(rt::documentPlainText(document), fast, "rtf");

  QTextDocument view;
  rt::loadTextViewMemo(bytes, view, QFont());
  mustAgree(rt::documentPlainText(view), rt::textViewPlainText(bytes), "text view");
  return 0;
}
