#include "output/print_command.h"

#include "output/print_layout.h"
#include "toolkit/dialogs.h"
#include "toolkit/printer.h"

#include <QCoreApplication>
#include <QPrinter>
#include <QTextDocument>

namespace output {

void processPendingEvents() {
  QCoreApplication::processEvents();
}

TwipsSize pageRectangleTwips(int widthPixels, int heightPixels, int dpiX, int dpiY) {
  return {int(qint64(widthPixels) * 1440 / dpiX), int(qint64(heightPixels) * 1440 / dpiY)};
}

namespace {

void drawPages(const QTextDocument &document, toolkit::TPrinter &printer,
               const BetweenPages &betweenPages) {
  const int dpiX = printer.pixelsPerInchX();
  const int dpiY = printer.pixelsPerInchY();
  const TwipsSize twips = pageRectangleTwips(printer.pageWidth(), printer.pageHeight(), dpiX, dpiY);
  const QSizeF page(twips.width * qreal(dpiX) / 1440, twips.height * qreal(dpiY) / 1440);
  PrintLayout layout(document, printer.device(), page);

  const int length = layout.textLength();
  int position = 0;
  for (;;) {
    // formatRange always moves on (an element taller than the page is drawn clipped on a
    // page of its own), so the loop ends.
    const int next = layout.formatRange(position, printer.canvas());
    if (next >= length || next == -1) break;
    if (betweenPages) betweenPages();
    printer.newPage();
    position = next;
  }
}

} // namespace

void printDocument(const QString &title, const QTextDocument &document, toolkit::TPrinter &printer,
                   const BetweenPages &betweenPages) {
  printer.setTitle(title);
  printer.beginDoc();
  try {
    drawPages(document, printer, betweenPages);
  } catch (...) {
    // The pages drawn so far go to the printer; the job is not cancelled.
    if (printer.printing()) printer.endDoc();
    throw;
  }
  printer.endDoc();
}

void printCommand(toolkit::TPrintDialog &dialog, const std::function<QString()> &readName,
                  const QTextDocument &document) {
  if (!dialog.execute()) return;
  const QString title = readName();
  printDocument(title, document, toolkit::Printer());
}

} // namespace output
