// The four web links of the main window, offscreen: an in-process handler for http and
// https addresses stands for the desktop's URL opener and records every request.
#include "links/links.h"

#include "ui/testing/small_catalogue.h"
#include "ui/tform1.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <memory>

namespace {

class UrlRecorder : public QObject {
  Q_OBJECT

public:
  QStringList requests;

public slots:
  void open(const QUrl &url) { requests << url.toString(); }
};

class WebLinks : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    catalogue_ = std::make_unique<ui_testing::SmallCatalogue>(
        std::vector<QString>{QStringLiteral("Аренда")}, std::vector<ui_testing::SampleDocument>{});
    form_ = std::make_unique<TForm1>();
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  }
  static void TearDownTestSuite() {
    form_.reset();
    catalogue_.reset();
  }
  void SetUp() override {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder_, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder_, "open");
  }
  void TearDown() override {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  }
  static void click(QWidget *widget, QPoint at = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                      at.isNull() ? widget->rect().center() : at);
  }

  UrlRecorder recorder_;
  static std::unique_ptr<ui_testing::SmallCatalogue> catalogue_;
  static std::unique_ptr<TForm1> form_;
};
std::unique_ptr<ui_testing::SmallCatalogue> WebLinks::catalogue_;
std::unique_ptr<TForm1> WebLinks::form_;

TEST_F(WebLinks, EachLinkOpensItsOwnAddressOncePerClick) {
  const struct {
    QWidget *control;
    const char *address;
  } cases[] = {
      {form_->Label4, links::kWebServiceAddress},
      {form_->Image5, links::kProductSiteAddress},
      {form_->Image6, links::kBanksSiteAddress},
      {form_->SpeedButton5, links::kUpdatesAddress},
  };
  for (const auto &c : cases) {
    recorder_.requests.clear();
    click(c.control);
    EXPECT_EQ(recorder_.requests, QStringList{QString::fromLatin1(c.address)});
    click(c.control);
    EXPECT_EQ(recorder_.requests.size(), 2) << c.address; // nothing is remembered
  }
}

TEST_F(WebLinks, TheAddressesAreRootPagesAndUpdatesLieUnderTheProductsDomain) {
  const QUrl product(QString::fromLatin1(links::kProductSiteAddress));
  const QUrl updates(QString::fromLatin1(links::kUpdatesAddress));
  EXPECT_TRUE(updates.host().endsWith(u'.' + product.host()));
  for (const char *address : {links::kWebServiceAddress, links::kProductSiteAddress,
                              links::kBanksSiteAddress, links::kUpdatesAddress})
    EXPECT_EQ(QUrl(QString::fromLatin1(address)).path(), u"/") << address;
  // The link line names the site that it opens.
  EXPECT_TRUE(form_->Label4->caption().contains(
      QUrl(QString::fromLatin1(links::kWebServiceAddress)).host()));
}

TEST_F(WebLinks, TheCreditLineTheDateLineAndThePanelOpenNothing) {
  click(form_->Label3);
  click(form_->Label5);
  click(form_->Panel3, QPoint(500, 30)); // beside the link line's text
  click(form_->Panel3, QPoint(form_->Label4->geometry().right() + 4, 28));
  EXPECT_TRUE(recorder_.requests.isEmpty());
}

TEST_F(WebLinks, LinksLookAndBehaveAsLinksWithoutKeyboardAccess) {
  for (QWidget *link :
       {static_cast<QWidget *>(form_->Label4), static_cast<QWidget *>(form_->Image5),
        static_cast<QWidget *>(form_->Image6)})
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << link->objectName().toStdString();
  EXPECT_EQ(form_->SpeedButton5->cursor().shape(), Qt::ArrowCursor);
  for (QWidget *link :
       {static_cast<QWidget *>(form_->Label4), static_cast<QWidget *>(form_->Image5),
        static_cast<QWidget *>(form_->Image6), static_cast<QWidget *>(form_->SpeedButton5)})
    EXPECT_EQ(link->focusPolicy(), Qt::NoFocus) << link->objectName().toStdString();
  EXPECT_EQ(form_->Label3->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(form_->Label5->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(form_->Label4->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_FALSE(form_->Label4->font().underline());
}

TEST_F(WebLinks, WithoutAHandlerAClickSaysNothingAndTheWindowStaysReady) {
  TearDown(); // no handler: offscreen, the desktop has nothing to open addresses with
  QWidget *focused = QApplication::focusWidget();
  click(form_->Image5);
  click(form_->Label4);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), focused); // a link never takes the focus
}

} // namespace

#include "links_test.moc"
