// The print command against a real print queue: a private cupsd with a queue that writes
// PDF files, read back with pdfinfo and pdftotext.
#include "output/print_command.h"
#include "output/print_layout.h"
#include "output/testing/dialog_driving.h"
#include "output/testing/private_cups.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"
#include "toolkit/printer.h"
#include "toolkit/text_codec.h"
#include "ui/testing/small_catalogue.h"
#include "ui/tform1.h"

#include <QComboBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

using namespace output_testing;

std::unique_ptr<QTextDocument> document(const QString &text) {
  auto doc = std::make_unique<QTextDocument>();
  doc->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 12));
  doc->setPlainText(text);
  return doc;
}

// Numbered paragraphs, long enough to wrap on paper.
QString numberedParagraphs(int count) {
  QStringList paragraphs;
  for (int i = 1; i <= count; ++i)
    paragraphs << QStringLiteral(
                      "Пункт %1. Арендатор обязуется своевременно вносить арендную плату "
                      "и содержать помещение в надлежащем состоянии.")
                      .arg(i);
  return paragraphs.join(u'\n');
}

// Confirms the print dialog with its OK button, after `adjust` has changed its settings.
std::shared_ptr<bool> confirmNextPrintDialog(std::function<void(QPrintDialog *)> adjust = {}) {
  return answerNext<QPrintDialog>([adjust](QPrintDialog *dialog) {
    if (adjust) adjust(dialog);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
  });
}

class Printing : public ::testing::Test {
protected:
  void SetUp() override {
    cups_ = &PrivateCups::instance();
    if (!cups_->running())
      GTEST_SKIP() << "no private CUPS server, printing not tested: "
                   << cups_->failure().toStdString();
    toolkit::SetPrinter(nullptr); // every test starts on the system's default printer
    jobsBefore_ = cups_->jobs().size();
  }
  void TearDown() override {
    if (!cups_ || !cups_->running()) return;
    cups_->waitUntilIdle();
    for (const QString &queue : queues_)
      cups_->removeQueue(queue);
    toolkit::SetPrinter(nullptr);
  }
  QString addQueue(const QString &name, bool makeDefault = true) {
    queues_ << name;
    return cups_->addPdfQueue(name, makeDefault);
  }
  std::vector<CupsJob> newJobs() {
    EXPECT_TRUE(cups_->waitUntilIdle());
    std::vector<CupsJob> all = cups_->jobs();
    return {all.begin() + qsizetype(std::min(jobsBefore_, all.size())), all.end()};
  }
  // One run of the print command, confirming the dialog.
  void print(const QString &title, const QTextDocument &doc,
             std::function<void(QPrintDialog *)> adjust = {}) {
    toolkit::TPrintDialog dialog;
    const auto answered = confirmNextPrintDialog(std::move(adjust));
    output::printCommand(
        dialog, [&] { return title; }, doc);
    EXPECT_TRUE(*answered);
  }
  // The pages the layout cuts the document into on the chosen printer.
  static int expectedPages(const QTextDocument &doc) {
    toolkit::TPrinter &printer = toolkit::Printer();
    const int dpiX = printer.pixelsPerInchX(), dpiY = printer.pixelsPerInchY();
    const auto twips =
        output::pageRectangleTwips(printer.pageWidth(), printer.pageHeight(), dpiX, dpiY);
    output::PrintLayout layout(
        doc, printer.device(),
        QSizeF(twips.width * qreal(dpiX) / 1440, twips.height * qreal(dpiY) / 1440));
    int pages = 1;
    for (int position = 0; (position = layout.measureRange(position)) < layout.textLength();)
      ++pages;
    return pages;
  }

  PrivateCups *cups_ = nullptr;
  std::size_t jobsBefore_ = 0;
  QStringList queues_;
};

TEST_F(Printing, AShortDocumentIsOnePageTitledWithTheNameThatIsPrintedOnNoPage) {
  const QString pdf = addQueue(QStringLiteral("FILEPDF"));
  const auto doc = document(QStringLiteral(
      "Договор поставки\nЁмкость: 5 т; цена — 100 ₽"));
  print(QStringLiteral("Поставка №7"), *doc);

  const auto jobs = newJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].name, u"Поставка №7");
  EXPECT_EQ(pdfPageCount(pdf), 1);
  const QString text = pdfText(pdf);
  EXPECT_TRUE(text.contains(u"Договор поставки")) << text.toStdString();
  EXPECT_TRUE(text.contains(u"Ёмкость: 5 т; цена — 100 ₽")) << text.toStdString();
  EXPECT_FALSE(text.contains(u"Поставка")) << "the title is printed on no page";
}

TEST_F(Printing, ALongDocumentFillsPageAfterPageWithEveryParagraphOnce) {
  const QString pdf = addQueue(QStringLiteral("FILEPDF"));
  const int count = 120;
  const auto doc = document(numberedParagraphs(count));
  print(QStringLiteral("Аренда"), *doc);

  ASSERT_EQ(newJobs().size(), 1u);
  const int pages = pdfPageCount(pdf);
  EXPECT_GT(pages, 2);
  EXPECT_EQ(pages, expectedPages(*doc));
  // Read back page by page: the paragraphs follow each other without a gap or a repeat,
  // so every page but the last was filled before the next began.
  const QStringList pageTexts = pdfText(pdf).split(u'\f');
  static const QRegularExpression number(QStringLiteral("Пункт (\\d+)\\."));
  std::vector<int> seen;
  int pagesWithText = 0;
  QString summary; // first and last paragraph of each page, for the failure message
  for (const QString &page : pageTexts) {
    auto it = number.globalMatch(page);
    pagesWithText += it.hasNext() ? 1 : 0;
    const std::size_t before = seen.size();
    while (it.hasNext())
      seen.push_back(it.next().captured(1).toInt());
    if (seen.size() > before)
      summary += QStringLiteral("[%1..%2] ").arg(seen[before]).arg(seen.back());
  }
  EXPECT_EQ(pagesWithText, pages);
  ASSERT_EQ(int(seen.size()), count) << summary.toStdString();
  for (int i = 0; i < count; ++i)
    ASSERT_EQ(seen[std::size_t(i)], i + 1);
}

TEST_F(Printing, WithNoCurrentDocumentOneBlankPageGoesOutWithAnEmptyTitle) {
  const QString pdf = addQueue(QStringLiteral("FILEPDF"));
  QTextDocument empty;
  print(QString(), empty);
  const auto jobs = newJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].name, QString());
  EXPECT_EQ(pdfPageCount(pdf), 1);
  EXPECT_EQ(pdfText(pdf).trimmed(), QString());
}

TEST_F(Printing, ThreeCopiesAreOneJobThatCarriesTheCount) {
  const QString pdf = addQueue(QStringLiteral("FILEPDF"));
  const auto doc = document(QStringLiteral("Одна страница"));
  print(QStringLiteral("Копии"), *doc, [](QPrintDialog *dialog) {
    dialog->findChild<QSpinBox *>(QStringLiteral("copies"))->setValue(3);
  });
  const auto jobs = newJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].copies, 3);
  EXPECT_EQ(pdfPageCount(cups_->documentPath(jobs[0].id)), 1) << "the content is sent once";
  EXPECT_EQ(pdfPageCount(pdf), 3) << "the queue makes the copies";
}

TEST_F(Printing, TheNextDialogOpensWithThePrinterAndSettingsConfirmedBefore) {
  const QString first = addQueue(QStringLiteral("FIRST"), true);
  const QString second = addQueue(QStringLiteral("SECOND"), false);
  const auto doc = document(QStringLiteral("Текст"));
  print(QStringLiteral("Выбор"), *doc, [](QPrintDialog *dialog) {
    auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("printers"));
    printers->setCurrentIndex(printers->findText(QStringLiteral("SECOND")));
    dialog->findChild<QSpinBox *>(QStringLiteral("copies"))->setValue(2);
  });
  const auto jobs = newJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].copies, 2);
  EXPECT_EQ(pdfPageCount(second), 2);
  EXPECT_FALSE(QFileInfo::exists(first));

  QString printerShown;
  int copiesShown = 0;
  toolkit::TPrintDialog dialog;
  const auto answered = answerNext<QPrintDialog>([&](QPrintDialog *shown) {
    printerShown = shown->findChild<QComboBox *>(QStringLiteral("printers"))->currentText();
    copiesShown = shown->findChild<QSpinBox *>(QStringLiteral("copies"))->value();
    shown->reject();
  });
  EXPECT_FALSE(dialog.execute());
  EXPECT_TRUE(*answered);
  EXPECT_EQ(printerShown, u"SECOND");
  EXPECT_EQ(copiesShown, 2);
}

TEST_F(Printing, CancelPrintsNothing) {
  const QString pdf = addQueue(QStringLiteral("FILEPDF"));
  const auto doc = document(QStringLiteral("Текст"));
  toolkit::TPrintDialog dialog;
  bool nameRead = false;
  QStringList printers;
  bool collateOffered = false;
  const auto answered = answerNext<QPrintDialog>([&](QPrintDialog *shown) {
    auto *list = shown->findChild<QComboBox *>(QStringLiteral("printers"));
    for (int i = 0; i < list->count(); ++i)
      printers << list->itemText(i);
    collateOffered = shown->testOption(QPrintDialog::PrintCollateCopies);
    shown->reject();
  });
  output::printCommand(
      dialog,
      [&] {
        nameRead = true;
        return QString();
      },
      *doc);
  EXPECT_TRUE(*answered);
  // The system's printers only: no printing to a file.
  EXPECT_EQ(printers, QStringList{QStringLiteral("FILEPDF")});
  EXPECT_TRUE(collateOffered);
  EXPECT_FALSE(nameRead);
  EXPECT_TRUE(newJobs().empty());
  EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST_F(Printing, WithNoPrinterAtAllTheCommandFailsBeforeAnyDialog) {
  const auto doc = document(QStringLiteral("Текст"));
  toolkit::TPrintDialog dialog;
  const auto answered = answerNext<QPrintDialog>([](QPrintDialog *shown) { shown->reject(); }, 500);
  QString message;
  try {
    output::printCommand(
        dialog, [] { return QString(); }, *doc);
  } catch (const toolkit::Exception &e) {
    message = e.message();
  }
  QTest::qWait(600);
  EXPECT_EQ(message, u"There is no default printer currently selected");
  EXPECT_FALSE(*answered);
  EXPECT_TRUE(newJobs().empty());
}

TEST_F(Printing, APrinterThatIsGoneWhenTheJobStartsIsNotValidAndGetsNothing) {
  addQueue(QStringLiteral("FILEPDF"));
  addQueue(QStringLiteral("OTHER"), false);
  const auto doc = document(QStringLiteral("Текст"));
  toolkit::TPrintDialog dialog;
  const auto answered = confirmNextPrintDialog([this](QPrintDialog *) {
    cups_->removeQueue(QStringLiteral("FILEPDF")); // taken away while the dialog is open
  });
  QString message;
  try {
    output::printCommand(
        dialog, [] { return QStringLiteral("x"); }, *doc);
  } catch (const toolkit::Exception &e) {
    message = e.message();
  }
  EXPECT_TRUE(*answered);
  EXPECT_EQ(message, u"Printer selected is not valid");
  EXPECT_FALSE(toolkit::Printer().printing());
  EXPECT_TRUE(newJobs().empty());
}

TEST_F(Printing, ASecondPrintDuringAJobIsRefusedAndTheRunningJobCompletes) {
  const QString pdf = addQueue(QStringLiteral("FILEPDF"));
  const auto doc = document(numberedParagraphs(120));
  const auto other = document(QStringLiteral("Второй"));

  // While the first job draws its pages the window answers: a second run of the command
  // shows its dialog and, confirmed, is refused.
  QString secondFailure;
  bool secondRan = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (secondRan || !toolkit::Printer().printing()) return;
    secondRan = true;
    watch.stop();
    toolkit::TPrintDialog dialog;
    const auto answered = confirmNextPrintDialog();
    try {
      output::printCommand(
          dialog, [] { return QStringLiteral("второй"); }, *other);
    } catch (const toolkit::Exception &e) {
      secondFailure = e.message();
    }
    EXPECT_TRUE(*answered);
  });
  watch.start(0);
  print(QStringLiteral("первый"), *doc);

  EXPECT_TRUE(secondRan);
  EXPECT_EQ(secondFailure, u"Printing in progress");
  const auto jobs = newJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].name, u"первый");
  EXPECT_EQ(pdfPageCount(pdf), expectedPages(*doc));
}

TEST_F(Printing, AFailureMidJobEndsTheJobWithThePagesDrawnSoFar) {
  const QString pdf = addQueue(QStringLiteral("FILEPDF"));
  const auto doc = document(numberedParagraphs(120));
  int finishedPages = 0;
  const auto failOnSecond = [&] {
    if (++finishedPages == 2) throw toolkit::Exception(QStringLiteral("сбой на второй странице"));
  };
  EXPECT_THROW(
      output::printDocument(QStringLiteral("Обрыв"), *doc, toolkit::Printer(), failOnSecond),
      toolkit::Exception);
  EXPECT_FALSE(toolkit::Printer().printing());
  const auto jobs = newJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(pdfPageCount(pdf), 2);
  EXPECT_TRUE(pdfText(pdf).contains(u"Пункт 1."));
}

// The print command through the main window: its button, the current document's stored
// name as the job's title, and the error box for a second print while one runs.
class PrintingFromWindow : public Printing {
protected:
  void SetUp() override {
    Printing::SetUp();
    if (IsSkipped()) return;
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1251 " +
        toolkit::toCp1251(numberedParagraphs(120).replace(u'\n', QStringLiteral("\\par "))) + "}";
    catalogue_ = std::make_unique<ui_testing::SmallCatalogue>(
        std::vector<QString>{QStringLiteral("Аренда")},
        std::vector<ui_testing::SampleDocument>{
            {QStringLiteral("Аренда"), QStringLiteral("Аренда склада/2"), rtf}});
    form_ = std::make_unique<TForm1>();
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  }
  void TearDown() override {
    form_.reset();
    catalogue_.reset();
    Printing::TearDown();
  }
  std::unique_ptr<ui_testing::SmallCatalogue> catalogue_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(PrintingFromWindow, TheJobCarriesTheStoredNameAndASecondPrintMeanwhileIsRefused) {
  const QString pdf = addQueue(QStringLiteral("FILEPDF"));
  QString errorText;
  bool secondClicked = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (secondClicked || !toolkit::Printer().printing()) return;
    secondClicked = true;
    watch.stop();
    confirmNextPrintDialog();
    answerNext<QMessageBox>([&](QMessageBox *box) {
      errorText = box->text();
      box->accept();
    });
    QTest::mouseClick(form_->SpeedButton4, Qt::LeftButton);
  });
  watch.start(0);
  const auto answered = confirmNextPrintDialog();
  QTest::mouseClick(form_->SpeedButton4, Qt::LeftButton);
  EXPECT_TRUE(*answered);
  EXPECT_TRUE(secondClicked);
  EXPECT_EQ(errorText, u"Printing in progress.");

  const auto jobs = newJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].name, u"Аренда склада/2");
  const QString text = pdfText(pdf);
  EXPECT_TRUE(text.contains(u"Пункт 1.") && text.contains(u"Пункт 120."))
      << text.left(300).toStdString();
  EXPECT_FALSE(text.contains(u"склада"));
}

} // namespace
