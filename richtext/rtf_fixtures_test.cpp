// Real RTF written by word processors: our text against the plain text an independent office
// suite (LibreOffice 7.4) extracted from each file, and our two reading paths against each
// other.
#include "richtext/code_pages.h"
#include "richtext/plain_text.h"
#include "richtext/rtf_reader.h"
#include "richtext/text_view_loading.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace velanta::richtext {
namespace {

const QString kFixtures = QStringLiteral(VELANTA_FIXTURES_DIR "/rtf");

std::vector<QString> fixtureFiles() {
  std::vector<QString> files;
  QDirIterator it(kFixtures, {u"*.rtf"_qs}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext())
    files.push_back(it.next());
  std::sort(files.begin(), files.end());
  return files;
}

QByteArray readFile(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// The comparison's white-space rules: blanks (any Unicode space) collapsed, lines trimmed,
// empty lines dropped.
QStringList normalised(QString text) {
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  static const QRegularExpression blanks(u"[\\s\\p{Zs}]+"_qs);
  QStringList lines;
  for (QString line : text.split(u'\n')) {
    line = line.replace(blanks, u" "_qs).trimmed();
    if (!line.isEmpty()) lines.append(line);
  }
  return lines;
}

// Where our text may differ from the suite's, and why: either the suite's text becomes ours
// by one stated substitution, or (where the suite shows more) most of its lines are ours.
struct AllowedDifference {
  const char *reason;
  QString (*theirsAsOurs)(QString) = nullptr;
  double linesFound = 1.0; // the share of the suite's lines that must be among ours
};

QString symbolAsUnicode(QString text) {
  for (QChar &c : text)
    c = QChar(detail::symbolFontCharacter(c.unicode()));
  return text;
}

const std::map<QString, AllowedDifference> kAllowedDifferences = {
    {u"rtfparserkit/test10001Encoding.rtf"_qs,
     {"a list paragraph (\\ls) without \\listtext: the suite draws the list's bullet from the "
      "list table, we show the text the paragraph holds",
      [](QString t) { return t.remove(u"• "_qs); }}},
    {u"rtfpipe/Issue46.rtf"_qs,
     {"the suite evaluates a SYMBOL field's instruction and shows hidden (\\v) text; we show "
      "field results only, and no hidden text",
      nullptr, 0.9}},
    {u"rtfpipe/Issue50-1.rtf"_qs, {"the suite shows hidden (\\v) text; we do not", nullptr, 0.9}},
    {u"rtfpipe/Issue51.rtf"_qs,
     {"hidden (\\v) text, and the suite orders the cells of nested tables differently", nullptr,
      0.9}},
    {u"rtfpipe/rtf2xml_old3_from_web.rtf"_qs,
     {"the suite appends the footnotes and numbers their marks; footnotes are not body text",
      nullptr, 0.9}},
    {u"rtfpipe/ListGoogle.rtf"_qs,
     {"the suite redraws list bullets from the list table (•) instead of the \\listtext (●)",
      [](QString t) { return t.replace(u'•', u'●'); }}},
    {u"rtfpipe/RtfParserTest_5.rtf"_qs,
     {"Symbol font: the suite keeps private-use codes, we show the Unicode characters",
      symbolAsUnicode}},
    {u"rtfpipe/rtf2xml_symbol.rtf"_qs,
     {"Symbol font: the suite keeps private-use codes, we show the Unicode characters",
      symbolAsUnicode}},
    {u"rtfpipe/Test01.rtf"_qs,
     {"Symbol font as above; and the suite shows both halves of \\upr, we the \\ud half only",
      [](QString t) { return symbolAsUnicode(t).replace(u"[G][Γ]"_qs, u"[Γ]"_qs); }}},
};

QString relativeName(const QString &path) {
  return QDir(kFixtures).relativeFilePath(path);
}

// The text view's plain text, cells on lines of their own as the suite writes them.
QString ourText(const QByteArray &bytes) {
  QTextDocument document;
  loadTextViewMemo(bytes, document, QFont());
  PlainTextOptions options;
  options.cellSeparator = u'\n';
  return documentPlainText(document, options);
}

double shareFound(const QStringList &theirs, const QStringList &ours) {
  std::map<QString, int> available;
  for (const QString &line : ours)
    ++available[line];
  int found = 0;
  for (const QString &line : theirs)
    if (available[line]-- > 0) ++found;
  return theirs.isEmpty() ? 1.0 : double(found) / double(theirs.size());
}

TEST(RtfFixtures, TextMatchesTheOfficeSuite) {
  const auto files = fixtureFiles();
  ASSERT_GE(files.size(), 60u) << "fixtures missing under " << kFixtures.toStdString();
  for (const QString &path : files) {
    const QString name = relativeName(path);
    SCOPED_TRACE(name.toStdString());
    const QByteArray bytes = readFile(path);
    const QByteArray expectedBytes = readFile(path + u".txt"_qs);
    ASSERT_FALSE(expectedBytes.isNull());
    const QStringList theirs = normalised(QString::fromUtf8(expectedBytes));
    const QStringList ours = normalised(ourText(bytes));
    const auto allowed = kAllowedDifferences.find(name);
    if (allowed == kAllowedDifferences.end()) {
      EXPECT_EQ(ours.join(u'\n').toStdString(), theirs.join(u'\n').toStdString());
      continue;
    }
    const AllowedDifference &difference = allowed->second;
    EXPECT_NE(ours, theirs) << "now the same: drop it from the allowed differences";
    if (difference.theirsAsOurs) {
      const QStringList substituted =
          normalised(difference.theirsAsOurs(QString::fromUtf8(expectedBytes)));
      EXPECT_EQ(ours.join(u'\n').toStdString(), substituted.join(u'\n').toStdString())
          << difference.reason;
    } else {
      EXPECT_GE(shareFound(theirs, ours), difference.linesFound) << difference.reason;
    }
  }
}

TEST(RtfFixtures, DocumentAndFastPathAgree) {
  for (const QString &path : fixtureFiles()) {
    SCOPED_TRACE(relativeName(path).toStdString());
    const QByteArray bytes = readFile(path);
    QTextDocument document;
    const RtfReadResult read = readRtf(bytes, document);
    QString fast;
    const RtfReadResult fastRead = rtfToPlainText(bytes, fast);
    EXPECT_EQ(read.ok(), fastRead.ok());
    EXPECT_EQ(documentPlainText(document).toStdString(), fast.toStdString());

    QTextDocument view;
    loadTextViewMemo(bytes, view, QFont());
    EXPECT_EQ(documentPlainText(view).toStdString(), textViewPlainText(bytes).toStdString());
  }
}

TEST(RtfFixtures, RussianWordFormKeepsItsTables) {
  const QByteArray bytes = readFile(kFixtures + u"/word2003-ru/pasaporte1.rtf"_qs);
  QString text;
  ASSERT_TRUE(rtfToPlainText(bytes, text).ok());
  // A row of the form's table: number, field name and a cell for the value, by TAB.
  EXPECT_TRUE(text.contains(u"1.\tФамилия, имя, отчество"_qs)) << text.left(400).toStdString();
}

} // namespace
} // namespace velanta::richtext
