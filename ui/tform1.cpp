#include "ui/tform1.h"

#include "catalogue/catalogue.h"

#include "toolkit/date_format.h"
#include "toolkit/label.h"

#include <QDate>

TForm1::TForm1(const QString &description) { createFromDescription(description); }

void TForm1::FormCreate(QObject *) {
  catalogue::openCatalogue(*this); // password, Table1, Table2
  toolkit::setShortDateFormat(QStringLiteral("dd.mm.yyyy"));
  Label5->setCaption(toolkit::dateToStr(QDate::currentDate()));
}

void TForm1::SpeedButton1Click(QObject *) { close(); }
