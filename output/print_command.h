// "Печать": the current document on the printer chosen in the print dialog, as one job.
#pragma once

#include <QString>

#include <functional>

class QTextDocument;

namespace toolkit {
class TPrintDialog;
class TPrinter;
} // namespace toolkit

namespace output {

// Called after each finished page but the last while a job is drawn: by default it lets the window
// repaint and answer (pending events are processed), as spooling does.
using BetweenPages = std::function<void()>;
void processPendingEvents();

// Prints `document` as one job titled `title` (the title names the job in the queue and is
// printed on no page): laid out for the printer in its page rectangle, page after page.
// A failure once the job has started ends the job with the pages drawn so far, then goes
// on to the caller.
void printDocument(const QString &title, const QTextDocument &document, toolkit::TPrinter &printer,
                   const BetweenPages &betweenPages = processPendingEvents);

// One run of the print command: the dialog (nothing happens when it is cancelled), then
// the current document's Name value as `readName` gives it, then the job on the process's
// printer. Failures ("There is no default printer currently selected", "Printer selected
// is not valid", "Printing in progress" and the table engine's) are thrown.
void printCommand(toolkit::TPrintDialog &dialog, const std::function<QString()> &readName,
                  const QTextDocument &document);

// The page rectangle in twips (1/1440 inch) for a printable area and resolution: integer
// divisions, remainders dropped.
struct TwipsSize {
  int width;
  int height;
};
TwipsSize pageRectangleTwips(int widthPixels, int heightPixels, int dpiX, int dpiY);

} // namespace output
