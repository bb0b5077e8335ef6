#include "ui/tform1.h"

#include "catalogue/catalogue.h"
#include "links/links.h"
#include "output/window_commands.h"

#include "toolkit/application.h"
#include "toolkit/date_format.h"
#include "toolkit/label.h"

#include <QCloseEvent>
#include <QDate>

namespace {
// What leaving the record would do: a changed record is stored, an unchanged edit or new
// record dropped.
void finishPendingRecord(toolkit::TDataSet *table) {
  if (!table || (table->state() != toolkit::dsEdit && table->state() != toolkit::dsInsert)) return;
  if (table->modified())
    table->post();
  else
    table->cancel();
}
} // namespace

TForm1::TForm1(const QString &description) {
  createFromDescription(description);
}

// The two exports and printing: filled in by the output commands.
void TForm1::SpeedButton2Click(QObject *) {
  output::saveCurrentDocument(output::kSaveForWord, *DBRichEdit2, *Label1, *DBRichEdit1, *SaveDialog1);
}
void TForm1::SpeedButton3Click(QObject *) {
  output::saveCurrentDocument(output::kSaveForNotepad, *DBRichEdit2, *Label2, *DBRichEdit1, *SaveDialog1);
}
void TForm1::SpeedButton4Click(QObject *) {
  output::printCurrentDocument(*PrintDialog1, *DBRichEdit2, *DBRichEdit1);
}

void TForm1::FormCreate(QObject *) {
  catalogue::openCatalogue(*this); // password, Table1, Table2
  toolkit::setShortDateFormat(QStringLiteral("dd.mm.yyyy"));
  Label5->setCaption(toolkit::dateToStr(QDate::currentDate()));
}

void TForm1::Label4Click(QObject *) {
  links::openAddress(this, links::kWebServiceAddress);
}
void TForm1::Image5Click(QObject *) {
  links::openAddress(this, links::kProductSiteAddress);
}
void TForm1::Image6Click(QObject *) {
  links::openAddress(this, links::kBanksSiteAddress);
}

void TForm1::SpeedButton1Click(QObject *) {
  close();
}

void TForm1::SpeedButton5Click(QObject *) {
  links::openAddress(this, links::kUpdatesAddress);
}

void TForm1::closeEvent(QCloseEvent *event) {
  try {
    DBRichEdit2->commitText();
    finishPendingRecord(Table1);
    finishPendingRecord(Table2);
  } catch (...) {
    event->ignore();
    toolkit::Application()->handleException(std::current_exception());
    return;
  }
  toolkit::TForm::closeEvent(event);
}
