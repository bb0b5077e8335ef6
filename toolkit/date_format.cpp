#include "toolkit/date_format.h"

#include <QLocale>

namespace toolkit {

namespace {
QString &currentFormat() {
  static QString format = QStringLiteral("dd.mm.yyyy");
  return format;
}

qsizetype runLength(const QString &format, qsizetype at) {
  qsizetype end = at;
  while (end < format.size() && format[end].toLower() == format[at].toLower())
    ++end;
  return end - at;
}

QString padded(int value, int width) { return QString::number(value).rightJustified(width, u'0'); }
} // namespace

QString shortDateFormat() { return currentFormat(); }
void setShortDateFormat(const QString &format) { currentFormat() = format; }

QString formatDate(const QString &format, const QDate &date) {
  QString out;
  for (qsizetype i = 0; i < format.size();) {
    const QChar c = format[i].toLower();
    const qsizetype run = runLength(format, i);
    if (c == u'd') {
      out += run >= 2 ? padded(date.day(), 2) : QString::number(date.day());
    } else if (c == u'm') {
      out += run >= 2 ? padded(date.month(), 2) : QString::number(date.month());
    } else if (c == u'y') {
      out += run >= 3 ? padded(date.year(), 4) : padded(date.year() % 100, 2);
    } else {
      out += format.mid(i, run);
    }
    i += run;
  }
  return out;
}

QString dateToStr(const QDate &date) { return formatDate(currentFormat(), date); }

} // namespace toolkit
