#include "toolkit/printer.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace toolkit {

namespace {
std::unique_ptr<TPrinter> &processPrinter() {
  static std::unique_ptr<TPrinter> printer;
  // Gone with the application object, while Qt's printing support still exists.
  static const bool cleanup = [] {
    qAddPostRoutine([] { processPrinter().reset(); });
    return true;
  }();
  (void)cleanup;
  return printer;
}

// The printer a fresh printer object starts on, or a null name when there is none.
QString initialPrinterName() {
  const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
  if (!defaultPrinter.isNull()) return defaultPrinter.printerName();
  const QStringList names = QPrinterInfo::availablePrinterNames();
  return names.isEmpty() ? QString() : names.first();
}
} // namespace

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
  // A job still open when the process ends goes out as it is.
  if (painter_) painter_->end();
}

QPrinter &TPrinter::device() {
  if (!device_) {
    const QString name = initialPrinterName();
    if (name.isEmpty())
      throw EPrinter(QStringLiteral("There is no default printer currently selected"));
    auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
    device->setPrinterName(name);
    device->setFullPage(false);
    device_ = std::move(device);
  }
  return *device_;
}

void TPrinter::beginDoc() {
  if (printing()) throw EPrinter(QStringLiteral("Printing in progress"));
  QPrinter &printer = device();
  // Qt quietly falls back to another printer (or to a PDF file) for a name the system no
  // longer knows: refuse instead, so that nothing goes where the user did not send it.
  const bool known = printer.outputFormat() == QPrinter::NativeFormat &&
                     !QPrinterInfo::printerInfo(printer.printerName()).isNull();
  if (!known || !printer.isValid()) throw EPrinter(QStringLiteral("Printer selected is not valid"));
  printer.setDocName(title_);
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(&printer)) throw EPrinter(QStringLiteral("Printer selected is not valid"));
  painter_ = std::move(painter);
  pageNumber_ = 1;
}

void TPrinter::newPage() {
  if (!printing()) throw EPrinter(QStringLiteral("Printer is not currently printing"));
  device_->newPage();
  ++pageNumber_;
}

void TPrinter::endDoc() {
  if (!printing()) throw EPrinter(QStringLiteral("Printer is not currently printing"));
  // The painter goes first whatever end() answers: the job is over either way.
  const std::unique_ptr<QPainter> painter = std::move(painter_);
  pageNumber_ = 0;
  painter->end();
}

QPainter &TPrinter::canvas() {
  if (!printing()) throw EPrinter(QStringLiteral("Printer is not currently printing"));
  return *painter_;
}

int TPrinter::pageWidth() {
  return device().width();
}
int TPrinter::pageHeight() {
  return device().height();
}
int TPrinter::pixelsPerInchX() {
  return device().logicalDpiX();
}
int TPrinter::pixelsPerInchY() {
  return device().logicalDpiY();
}

TPrinter &Printer() {
  auto &printer = processPrinter();
  if (!printer) printer = std::make_unique<TPrinter>();
  return *printer;
}

std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer) {
  auto &current = processPrinter();
  std::unique_ptr<TPrinter> old = std::move(current);
  current = printer ? std::move(printer) : std::make_unique<TPrinter>();
  return old;
}

} // namespace toolkit
