// The process-wide short date format, as the platform formats dates.
#pragma once

#include <QDate>
#include <QString>

namespace toolkit {

// The short date format in use ("dd.mm.yyyy" style: d, dd, m, mm, yy, yyyy; any other
// character is copied). Starts as the system locale's short date.
QString shortDateFormat();
void setShortDateFormat(const QString &format);

QString formatDate(const QString &format, const QDate &date);
QString dateToStr(const QDate &date);

} // namespace toolkit
