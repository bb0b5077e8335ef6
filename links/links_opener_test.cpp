// Under a real X server (started by testdata/under_xvfb_with_fake_opener.sh): a link's
// address reaches the system's URL opener, as one argument of its own.
#include "links/links.h"

#include "ui/testing/small_catalogue.h"
#include "ui/tform1.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList openedAddresses(const QString &log) {
  QFile file(log);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

TEST(WebLinksUnderX, TheUpdateButtonHandsItsAddressToTheSystemOpener) {
  const QString log = qEnvironmentVariable("VELANTA_OPENED_LOG");
  ASSERT_FALSE(log.isEmpty()) << "run through under_xvfb_with_fake_opener.sh";
  ASSERT_EQ(QGuiApplication::platformName(), u"xcb");
  const ui_testing::SmallCatalogue catalogue({QStringLiteral("Аренда")}, {});
  TForm1 form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::mouseClick(form.SpeedButton5, Qt::LeftButton);
  QElapsedTimer clock;
  clock.start();
  while (openedAddresses(log).isEmpty() && clock.elapsed() < 10000)
    QTest::qWait(20);
  EXPECT_EQ(openedAddresses(log), QStringList{QString::fromLatin1(links::kUpdatesAddress)});
}

} // namespace
