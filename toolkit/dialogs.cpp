#include "toolkit/dialogs.h"

#include "toolkit/printer.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace toolkit {

QWidget *dialogParent() {
  if (QWidget *modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

// --- TSaveDialog ---

TSaveDialog::TSaveDialog(QObject *owner) : QObject(owner) {}

QStringList TSaveDialog::nameFilters(const QString &filter) {
  if (filter.isEmpty()) return {};
  if (!filter.contains(u'|')) return {filter};
  const QStringList parts = filter.split(u'|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // Qt reads the patterns from the parentheses; ";" separates them in the pair's form.
    QString patterns = parts[i + 1];
    patterns.replace(u';', u' ');
    entries.append(QStringLiteral("%1 (%2)").arg(parts[i], patterns));
  }
  return entries;
}

bool TSaveDialog::execute() {
  QFileDialog dialog(dialogParent(), title_, initialDir_);
  dialog.setObjectName(QString::fromLatin1(kWidgetName));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::DontConfirmOverwrite,
                   !hasOption(QStringLiteral("ofOverwritePrompt")));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultExt_);

  const QStringList filters = nameFilters(filter_);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (filterIndex_ >= 1 && filterIndex_ <= filters.size())
      dialog.selectNameFilter(filters[filterIndex_ - 1]);
  }
  if (!fileName_.isEmpty()) dialog.selectFile(fileName_);

  const bool sizing = hasOption(QStringLiteral("ofEnableSizing"));
  dialog.setSizeGripEnabled(sizing);
  if (!sizing) dialog.setFixedSize(dialog.sizeHint());

  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  fileName_ = chosen.first();
  if (const qsizetype index = filters.indexOf(dialog.selectedNameFilter()); index >= 0)
    filterIndex_ = int(index) + 1;
  return true;
}

// --- TPrintDialog ---

TPrintDialog::TPrintDialog(QObject *owner) : QObject(owner) {}

namespace {
QPrintDialog::PrintDialogOptions printDialogOptions(const QStringList &options) {
  QPrintDialog::PrintDialogOptions result =
      QPrintDialog::PrintCollateCopies | QPrintDialog::PrintShowPageSize;
  if (options.contains(QStringLiteral("poPrintToFile"))) result |= QPrintDialog::PrintToFile;
  if (options.contains(QStringLiteral("poPageNums"))) result |= QPrintDialog::PrintPageRange;
  if (options.contains(QStringLiteral("poSelection"))) result |= QPrintDialog::PrintSelection;
  return result;
}

bool runPrintDialog(QPrinter &device, const QStringList &options) {
  device.setPrintRange(QPrinter::AllPages);
  QPrintDialog dialog(&device, dialogParent());
  dialog.setObjectName(QString::fromLatin1(TPrintDialog::kWidgetName));
  dialog.setOptions(printDialogOptions(options));
  return dialog.exec() == QDialog::Accepted;
}
} // namespace

bool TPrintDialog::execute() {
  TPrinter &printer = Printer();
  QPrinter &device = printer.device(); // fails before any dialog when there is no printer
  if (printer.printing()) {
    // The running job keeps its printer and settings: the dialog works on a copy, and the
    // job that its confirmation asks for is refused when it starts.
    QPrinter scratch(QPrinter::HighResolution);
    scratch.setPrinterName(device.printerName());
    scratch.setCopyCount(device.copyCount());
    scratch.setCollateCopies(device.collateCopies());
    return runPrintDialog(scratch, options_);
  }
  if (copies_ > 0) device.setCopyCount(copies_);
  device.setCollateCopies(collate_);
  if (!runPrintDialog(device, options_)) return false;
  copies_ = device.copyCount();
  collate_ = device.collateCopies();
  return true;
}

} // namespace toolkit
