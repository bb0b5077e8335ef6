#include "toolkit/date_format.h"

#include <gtest/gtest.h>

namespace {

struct DateCase {
  const char *format;
  QDate date;
  const char *expected;
};

TEST(DateFormat, FormatsTheTokensOfAShortDateFormat) {
  const DateCase cases[] = {
      {"dd.mm.yyyy", QDate(2008, 12, 9), "09.12.2008"},
      {"dd.mm.yyyy", QDate(2010, 1, 1), "01.01.2010"},
      {"d.m.yy", QDate(2005, 3, 7), "7.3.05"},
      {"yy.mm.yyyy", QDate(2008, 12, 9), "08.12.2008"},
      {"yyyy-mm-dd", QDate(1999, 11, 30), "1999-11-30"},
  };
  for (const DateCase &c : cases)
    EXPECT_EQ(toolkit::formatDate(QString::fromLatin1(c.format), c.date), QString::fromLatin1(c.expected))
        << c.format;
}

TEST(DateFormat, DateToStrUsesTheProcessWideFormat) {
  toolkit::setShortDateFormat(QStringLiteral("dd.mm.yyyy"));
  EXPECT_EQ(toolkit::dateToStr(QDate(2008, 12, 9)), QStringLiteral("09.12.2008"));
}

} // namespace
