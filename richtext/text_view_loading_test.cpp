// The text view's loading rule: RTF when valid, else code page 1251 plain text in the view's
// font, else "(Failed to Load Stream)".
#include "richtext/text_view_loading.h"

#include "richtext/plain_text.h"

#include <QFile>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

// Readable failures for Qt strings.
inline void PrintTo(const QString &text, std::ostream *os) {
  *os << '"' << text.toStdString() << '"';
}

namespace velanta::richtext {
namespace {

struct LoadCase {
  const char *name;
  QByteArray bytes;
  TextViewLoad outcome;
  QString text;
};

void PrintTo(const LoadCase &c, std::ostream *os) {
  *os << c.name;
}

class LoadingRule : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadingRule, ShowsWhatTheRuleSays) {
  const LoadCase &c = GetParam();
  const QFont viewFont(u"DejaVu Sans"_qs, 9);
  QTextDocument document;
  document.setPlainText(u"the previous document"_qs);
  EXPECT_EQ(loadTextViewMemo(c.bytes, document, viewFont), c.outcome);
  EXPECT_EQ(documentPlainText(document), c.text);
  EXPECT_EQ(textViewPlainText(c.bytes), c.text);
  EXPECT_EQ(document.defaultFont(), viewFont);
}

const LoadCase kCases[] = {
    {"Rtf", "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 \\'c4\\'e0\\par}",
     TextViewLoad::RichText, u"Да"_qs},
    {"TruncatedRtfIsStillRtf", "{\\rtf1\\ansi a\\par b", TextViewLoad::RichText, u"a\nb"_qs},
    {"PlainTextInCodePage1251", "\xc4\xee\xe3\xee\xe2\xee\xf0 \xb9 1\r\n\xf1\xf2\xf0.2",
     TextViewLoad::PlainText, u"Договор № 1\nстр.2"_qs},
    {"PlainTextWithLoneCarriageReturns", "a\rb\n\nc", TextViewLoad::PlainText, u"a\nb\n\nc"_qs},
    {"TextThatMerelyMentionsRtf", "see {\\rtf1 here}", TextViewLoad::PlainText,
     u"see {\\rtf1 here}"_qs},
    {"Empty", "", TextViewLoad::PlainText, u""_qs},
    {"PlainTextPaddedWithNuls", QByteArray("\xc4\xe0\0\0", 4), TextViewLoad::PlainText, u"Да"_qs},
    {"RtfFollowedByNuls", QByteArray("{\\rtf1 a}\0\0", 11), TextViewLoad::RichText, u"a"_qs},
    {"RichEditMemo",
     "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fswiss MS Sans "
     "Serif;}{\\f1\\froman\\fcharset2 "
     "Symbol;}{\\f2\\fswiss\\fcharset204{\\*\\fname Arial;}Arial "
     "CYR;}}{\\colortbl\\red0\\green0\\blue0;}"
     "\\deflang1049\\pard\\plain\\f2\\fs20 \\'d2\\'e5\\'ea\\'f1\\'f2\\par }\r\n\0",
     TextViewLoad::RichText, u"Текст"_qs},
    {"BinaryIsNeither", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), TextViewLoad::Failed,
     u"(Failed to Load Stream)"_qs},
    {"NulInsideBrokenRtf", QByteArray("{\\rtx1 a\0b", 10), TextViewLoad::Failed,
     u"(Failed to Load Stream)"_qs},
};

INSTANTIATE_TEST_SUITE_P(Cases, LoadingRule, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(LoadingRule, PlainTextShowsInTheViewsFont) {
  const QFont viewFont(u"DejaVu Serif"_qs, 11);
  QTextDocument document;
  ASSERT_EQ(loadTextViewMemo("plain", document, viewFont), TextViewLoad::PlainText);
  const QTextCharFormat format = document.firstBlock().begin().fragment().charFormat();
  EXPECT_EQ(format.font().resolve(document.defaultFont()).family(), viewFont.family());
  EXPECT_EQ(format.font().resolve(document.defaultFont()).pointSize(), 11);
}

TEST(LoadingRule, RussianWordDocumentLoadsAsRichText) {
  QFile file(QStringLiteral(VELANTA_FIXTURES_DIR "/rtf/word2003-ru/Prikaz.rtf"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QTextDocument document;
  EXPECT_EQ(loadTextViewMemo(file.readAll(), document, QFont()), TextViewLoad::RichText);
  EXPECT_TRUE(documentPlainText(document).startsWith(u"Заявление"_qs));
}

} // namespace
} // namespace velanta::richtext
