// The printer object: one for the whole process, over Qt's printing. It starts on the
// system's default printer; a confirmed print dialog changes the printer and settings for
// the rest of the run.
#pragma once

#include "toolkit/exceptions.h"

#include <QString>

#include <memory>

class QPainter;
class QPrinter;

namespace toolkit {

// A refusal of the printer object ("Printing in progress" and the like).
class EPrinter : public Exception {
public:
  using Exception::Exception;
};

class TPrinter {
public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter &) = delete;
  TPrinter &operator=(const TPrinter &) = delete;

  // The Qt device, set to a printer: on first use the system's default printer (or, when
  // the system names no default, its first printer). Throws EPrinter "There is no default
  // printer currently selected" when the system has no printer at all.
  QPrinter &device();
  // Whether a printer has been chosen (device() was used successfully).
  bool hasPrinter() const { return device_ != nullptr; }

  // The job's name in the print queue; it is printed on no page.
  const QString &title() const { return title_; }
  void setTitle(const QString &title) { title_ = title; }

  // Starts a job: the first page begins. Throws "Printing in progress" while a job runs,
  // "Printer selected is not valid" when the chosen printer cannot be opened (nothing is
  // sent then).
  void beginDoc();
  // Ends the current page and begins the next.
  void newPage();
  // Ends the job: the last page ends and the job goes to the print queue.
  void endDoc();
  bool printing() const { return painter_ != nullptr; }
  // Number of the page being drawn, from 1 (0 when idle).
  int pageNumber() const { return pageNumber_; }

  // Drawing on the current page, in printer pixels with (0,0) at the corner of the
  // printable area. Valid while printing.
  QPainter &canvas();

  // The printable area in printer pixels, and the resolution.
  int pageWidth();
  int pageHeight();
  int pixelsPerInchX();
  int pixelsPerInchY();

private:
  std::unique_ptr<QPrinter> device_;
  std::unique_ptr<QPainter> painter_;
  QString title_;
  int pageNumber_ = 0;
};

// The process's printer object, created on first use.
TPrinter &Printer();
// Replaces the process's printer object (a fresh one when null) and returns the old one.
std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer);

} // namespace toolkit
