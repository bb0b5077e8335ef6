// The RTF reader on small hand-made documents: one table of tricky reading rules checked
// through both paths (QTextDocument and the fast plain-text path), then the formatting the
// document receives.
#include "richtext/plain_text.h"
#include "richtext/rtf_reader.h"

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <gtest/gtest.h>

// Readable failures for Qt strings.
inline void PrintTo(const QString &text, std::ostream *os) {
  *os << '"' << text.toStdString() << '"';
}

namespace velanta::richtext {
namespace {

QString viaDocument(QByteArrayView rtf) {
  QTextDocument document;
  EXPECT_TRUE(readRtf(rtf, document).ok());
  return documentPlainText(document);
}

QString viaFastPath(QByteArrayView rtf) {
  QString text;
  EXPECT_TRUE(rtfToPlainText(rtf, text).ok());
  return text;
}

struct TextCase {
  const char *name;
  QByteArray rtf;
  QString text;
};

void PrintTo(const TextCase &c, std::ostream *os) {
  *os << c.name;
}

class ReadingRules : public ::testing::TestWithParam<TextCase> {};

TEST_P(ReadingRules, BothPathsGiveTheExpectedText) {
  const TextCase &c = GetParam();
  EXPECT_EQ(viaDocument(c.rtf), c.text);
  EXPECT_EQ(viaFastPath(c.rtf), c.text);
}

QByteArray deepNesting(int depth, bool closed) {
  QByteArray rtf = "{\\rtf1 ";
  rtf += QByteArray(depth, '{') + "x";
  if (closed) rtf += QByteArray(depth, '}') + "}";
  return rtf;
}

const TextCase kCases[] = {
    // Code pages.
    {"Fcharset204WinsOverAnsicpg1252",
     "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\froman\\fcharset204 Times;}}\\f0 \\'e0\\'c1}",
     u"аБ"_qs},
    {"FontWithoutCharsetUsesAnsicpg",
     "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}\\f0 \\'ef\\'f0\\'e8}", u"при"_qs},
    {"Fcharset0IsWesternInACyrillicDocument",
     "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset204 Arial;}}"
     "\\f0 caf\\'e9 \\f1 \\'e9}",
     u"café й"_qs},
    {"DeffGivesTheCodePageOfUnmarkedText",
     "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset204 B;}}\\'e4\\'e0}",
     u"да"_qs},
    {"ShiftJisDoubleByteAcrossEscapesAndText",
     "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 "
     "\\'83\\'65\\'83\\'58\\'83g}",
     u"テスト"_qs},
    {"MacJapaneseOwnSingleBytes", "{\\rtf1\\mac\\ansicpg10001 \\'fd\\'82\\'a8\\'ff}", u"©お…"_qs},
    {"SymbolFontBulletAsUnicode",
     "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}{\\f1 \\'b7 a}\\f0 a}",
     u"• αa"_qs},
    // \uN and \ucN.
    {"UnicodeWithFallbackSkipped", "{\\rtf1\\ansi \\u1071?\\u1099?}", u"Яы"_qs},
    {"NegativeUnicode", "{\\rtf1\\ansi \\u-3913?x}", QString(QChar(0xF0B7)) + u"x"_qs},
    {"NegativeUnicodeInSymbolFont",
     "{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset2 Symbol;}}\\f1\\u-3913?}", u"•"_qs},
    {"Uc2SkipsTwoFallbackCharacters", "{\\rtf1\\ansi\\uc2\\u1071\\'3f\\'3fz}", u"Яz"_qs},
    {"Uc0SkipsNothing", "{\\rtf1\\ansi\\uc0\\u1071 z}", u"Яz"_qs},
    {"UcIsKeptPerGroup", "{\\rtf1\\ansi{\\uc2\\u1071??}\\u1071?x}", u"ЯЯx"_qs},
    {"FallbackEndsAtGroupEnd", "{\\rtf1\\ansi\\uc3{\\u1071?}b}", u"Яb"_qs},
    {"FallbackCountsAControlWordAsOne", "{\\rtf1\\ansi\\u1071\\emdash x}", u"Яx"_qs},
    {"SurrogatePair", "{\\rtf1\\ansi\\u-10179?\\u-8704?}", u"\U0001F600"_qs},
    {"LoneSurrogateReplaced", "{\\rtf1\\ansi a\\u-10179?b}", u"a\uFFFDb"_qs},
    // Syntax.
    {"BinSkipsItsBytesBracesIncluded", "{\\rtf1\\ansi a\\bin4 {}\\\\b}", u"ab"_qs},
    {"UnknownStarredDestinationSkipped", "{\\rtf1\\ansi a{\\*\\foo b{c}}d}", u"ad"_qs},
    {"UnknownWordIgnoredTextKept", "{\\rtf1\\ansi a{\\foo b}c}", u"abc"_qs},
    {"EscapedSyntaxCharacters", "{\\rtf1\\ansi \\{\\}\\\\}", u"{}\\"_qs},
    {"BadHexEscapeGivesNothing", "{\\rtf1\\ansi a\\'zzb}", u"azzb"_qs},
    {"MissingClosingBracesRecovered", "{\\rtf1\\ansi a{\\b b\\par c", u"ab\nc"_qs},
    {"TextAfterTheDocumentIgnored", "{\\rtf1\\ansi a}}b\\par c", u"a"_qs},
    {"TenThousandDeepNesting", deepNesting(10000, true), u"x"_qs},
    {"TenThousandDeepNestingUnclosed", deepNesting(10000, false), u"x"_qs},
    {"LeadingWhiteSpaceAllowed", "\r\n {\\rtf1 a}", u"a"_qs},
    // What is not shown.
    {"FieldShowsOnlyItsResult",
     "{\\rtf1\\ansi{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt shown}}}", u"shown"_qs},
    {"FieldInstructionWithoutStarHidden", "{\\rtf1\\ansi{\\field{\\fldinst PAGE}{\\fldrslt 3}}}",
     u"3"_qs},
    {"HeadersFootnotesInfoHidden",
     "{\\rtf1\\ansi{\\info{\\title T}}{\\header H}{\\footer F}a{\\footnote N}b}", u"ab"_qs},
    {"HiddenTextHidden", "{\\rtf1\\ansi a{\\v b}c}", u"ac"_qs},
    {"UprShowsTheUnicodeVersion", "{\\rtf1\\ansi \"{\\upr{[G]}{\\*\\ud{[\\uc0\\u915]}}}\"}",
     u"\"[Γ]\""_qs},
    {"ObjectShowsItsResult",
     "{\\rtf1\\ansi{\\object\\objemb{\\*\\objclass Word}{\\*\\objdata 0102}{\\result r}}}",
     u"r"_qs},
    {"PicturesGiveNoText",
     "{\\rtf1\\ansi a{\\pict\\pngblip\\picwgoal20\\pichgoal20 0011}b{\\*\\shppict{\\pict\\emfblip "
     "00}}{\\nonshppict{\\pict\\wmetafile8 00}}c}",
     u"abc"_qs},
    // Breaks and lists.
    {"ParagraphsLineAndPageBreaks", "{\\rtf1\\ansi a\\par b\\line c\\page d\\tab e\\par}",
     u"a\nb\nc\nd\te"_qs},
    {"PageBreakOnAnEmptyParagraphAddsNoLine", "{\\rtf1\\ansi a\\par\\page b}", u"a\nb"_qs},
    {"EmptyParagraphsKept", "{\\rtf1\\ansi a\\par\\par b\\par}", u"a\n\nb"_qs},
    {"ListTextAsShown",
     "{\\rtf1\\ansi{\\listtext 1.\\tab}One\\par{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb "
     "\\'b7}}Two}",
     u"1.\tOne\n·\tTwo"_qs},
    {"SpecialCharacters", "{\\rtf1\\ansi \\emdash\\endash\\bullet\\lquote\\rquote\\~\\_}",
     u"—–•‘’\u00A0\u2011"_qs},
    {"ControlCharactersDropped", "{\\rtf1\\ansi a\\'00\\'0a\\u13?b}", u"ab"_qs},
    // Tables.
    {"TableCellsByTabRowsByLine",
     "{\\rtf1\\ansi\\trowd\\cellx1000\\cellx2000\\intbl a\\cell b\\cell\\row"
     "\\intbl c\\cell d\\cell\\row\\pard after}",
     u"a\tb\nc\td\nafter"_qs},
    {"ParagraphsInsideACell",
     "{\\rtf1\\ansi\\trowd\\cellx1000\\cellx2000\\intbl a\\par b\\cell c\\cell\\row}",
     u"a\nb\tc"_qs},
    {"RowDefinitionAfterTheCells",
     "{\\rtf1\\ansi\\intbl a\\cell b\\cell\\trowd\\cellx1000\\cellx2000\\row}", u"a\tb"_qs},
    {"HorizontalMergeShowsTheCellOnce",
     "{\\rtf1\\ansi\\trowd\\clmgf\\cellx1000\\clmrg\\cellx2000\\cellx3000"
     "\\intbl a\\cell\\cell c\\cell\\row}",
     u"a\tc"_qs},
    {"VerticalMergeGivesAnEmptyField",
     "{\\rtf1\\ansi\\trowd\\clvmgf\\cellx1000\\cellx2000\\intbl a\\cell b\\cell\\row"
     "\\trowd\\clvmrg\\cellx1000\\cellx2000\\intbl\\cell d\\cell\\row}",
     u"a\tb\n\td"_qs},
    {"NestedTable",
     "{\\rtf1\\ansi\\trowd\\cellx3000\\cellx6000\\intbl outer\\par"
     "\\itap2 x\\nestcell y\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}"
     "{\\nonesttables\\par}\\itap1\\cell right\\cell\\row\\pard end}",
     // The cell's last paragraph, the one \cell ends, stands below the nested table.
     u"outer\nx\ty\n\tright\nend"_qs},
    {"HugeCellEdges",
     "{\\rtf1\\trowd\\trleft-2147483647\\cellx2147483647\\cellx2147483647\\intbl a\\cell "
     "b\\cell\\row}",
     u"a\tb"_qs},
    {"CellWithoutTableMarkStillACell", "{\\rtf1\\ansi a\\cell b\\cell\\row c}", u"a\tb\nc"_qs},
};

INSTANTIATE_TEST_SUITE_P(Cases, ReadingRules, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(RtfValidity, OnlyBytesBeginningWithTheRtfGroupAreRtf) {
  for (const char *notRtf :
       {"", "hello", "{\\rtfx1 a}", "rtf1", "{ \\rtf1 a}", "\xef\xbb\xbf{\\rtf1}"}) {
    QTextDocument document;
    EXPECT_EQ(readRtf(notRtf, document).error, RtfError::NotRtf) << notRtf;
    QString text;
    EXPECT_EQ(rtfToPlainText(notRtf, text).error, RtfError::NotRtf) << notRtf;
  }
  for (const char *rtf : {"{\\rtf1}", "{\\rtf", "{\\rtf1\\ansi a", "  {\\rtf a}"})
    EXPECT_TRUE(startsLikeRtf(rtf)) << rtf;
}

TEST(RtfValidity, RecoveredBracesAreReported) {
  QString text;
  EXPECT_TRUE(rtfToPlainText("{\\rtf1 a{b", text).recoveredBraces);
  EXPECT_TRUE(rtfToPlainText("{\\rtf1 a}}x", text).recoveredBraces);
  EXPECT_FALSE(rtfToPlainText("{\\rtf1 a}\r\n", text).recoveredBraces);
}

// ---------------------------------------------------------------------------------------------
// Formatting

struct Fragment {
  QString text;
  QTextCharFormat format;
};

std::vector<Fragment> fragments(const QTextBlock &block) {
  std::vector<Fragment> out;
  for (auto it = block.begin(); !it.atEnd(); ++it)
    out.push_back({it.fragment().text(), it.fragment().charFormat()});
  return out;
}

TEST(RtfFormatting, CharacterRuns) {
  QTextDocument document;
  ASSERT_TRUE(readRtf("{\\rtf1\\ansi{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
                      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\\f0\\fs20 "
                      "n{\\b b}{\\i i}{\\b\\i bi}{\\ul u\\ulnone n}{\\strike s}{\\f1\\fs32 big}"
                      "{\\cf1 red}{\\highlight2 hi}{\\super 2}{\\sub 3}{\\b x\\plain p}}",
                      document)
                  .ok());
  const auto runs = fragments(document.firstBlock());
  const auto find = [&runs](const QString &text) {
    for (const auto &f : runs)
      if (f.text == text) return f.format;
    ADD_FAILURE() << "no run " << text.toStdString();
    return QTextCharFormat();
  };
  EXPECT_EQ(find(u"n"_qs).fontWeight(), QFont::Normal);
  EXPECT_EQ(find(u"n"_qs).fontPointSize(), 10);
  EXPECT_EQ(find(u"n"_qs).fontFamilies().toStringList(), QStringList{u"Times New Roman"_qs});
  EXPECT_EQ(find(u"b"_qs).fontWeight(), QFont::Bold);
  EXPECT_FALSE(find(u"b"_qs).fontItalic());
  EXPECT_TRUE(find(u"i"_qs).fontItalic());
  EXPECT_EQ(find(u"bi"_qs).fontWeight(), QFont::Bold);
  EXPECT_TRUE(find(u"bi"_qs).fontItalic());
  EXPECT_EQ(find(u"u"_qs).underlineStyle(), QTextCharFormat::SingleUnderline);
  EXPECT_EQ(find(u"s"_qs).fontStrikeOut(), true);
  EXPECT_EQ(find(u"big"_qs).fontPointSize(), 16);
  EXPECT_EQ(find(u"big"_qs).fontFamilies().toStringList(), QStringList{u"Arial"_qs});
  EXPECT_EQ(find(u"red"_qs).foreground().color(), QColor(255, 0, 0));
  EXPECT_EQ(find(u"hi"_qs).background().color(), QColor(0, 0, 255));
  EXPECT_EQ(find(u"2"_qs).verticalAlignment(), QTextCharFormat::AlignSuperScript);
  EXPECT_EQ(find(u"3"_qs).verticalAlignment(), QTextCharFormat::AlignSubScript);
  EXPECT_EQ(find(u"x"_qs).fontWeight(), QFont::Bold);
  // \plain: back to the default font and size, not bold.
  EXPECT_EQ(find(u"p"_qs).fontWeight(), QFont::Normal);
  EXPECT_FALSE(find(u"p"_qs).hasProperty(QTextFormat::FontPointSize));
}

TEST(RtfFormatting, DefaultFontIsTheCallers) {
  QTextDocument document;
  RtfReadOptions options;
  options.defaultFont = QFont(u"DejaVu Serif"_qs, 13);
  ASSERT_TRUE(readRtf("{\\rtf1\\ansi plain}", document, options).ok());
  EXPECT_EQ(document.defaultFont(), options.defaultFont);
  EXPECT_FALSE(
      fragments(document.firstBlock()).front().format.hasProperty(QTextFormat::FontPointSize));
}

TEST(RtfFormatting, ParagraphFormat) {
  QTextDocument document;
  ASSERT_TRUE(readRtf("{\\rtf1\\ansi\\pard\\qc c\\par\\pard\\qr r\\par\\pard\\qj\\li1440\\ri720"
                      "\\fi-360\\sb240\\sa120\\tx720\\tqr\\tx2880 j\\par\\pard\\sl360\\slmult1 "
                      "l\\par\\pard\\keepn\\keep"
                      "\\widctlpar left\\par}",
                      document)
                  .ok());
  QTextBlock block = document.firstBlock();
  EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  block = block.next();
  EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  block = block.next();
  const QTextBlockFormat j = block.blockFormat();
  EXPECT_EQ(j.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
  EXPECT_DOUBLE_EQ(j.leftMargin(), 96); // 1440 twips = 1 inch
  EXPECT_DOUBLE_EQ(j.rightMargin(), 48);
  EXPECT_DOUBLE_EQ(j.textIndent(), -24);
  EXPECT_DOUBLE_EQ(j.topMargin(), 16);
  EXPECT_DOUBLE_EQ(j.bottomMargin(), 8);
  ASSERT_EQ(j.tabPositions().size(), 2);
  EXPECT_DOUBLE_EQ(j.tabPositions()[0].position, 48);
  EXPECT_EQ(j.tabPositions()[0].type, QTextOption::LeftTab);
  EXPECT_DOUBLE_EQ(j.tabPositions()[1].position, 192);
  EXPECT_EQ(j.tabPositions()[1].type, QTextOption::RightTab);
  block = block.next();
  EXPECT_EQ(block.blockFormat().lineHeightType(), QTextBlockFormat::ProportionalHeight);
  EXPECT_DOUBLE_EQ(block.blockFormat().lineHeight(), 150);
  block = block.next();
  EXPECT_EQ(block.text(), u"left"_qs);
  EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

TEST(RtfFormatting, StyleSheetFormattingApplied) {
  QTextDocument document;
  ASSERT_TRUE(readRtf("{\\rtf1\\ansi{\\stylesheet{\\s0 Normal;}{\\s1\\qc\\b\\fs32 heading 1;}"
                      "{\\*\\cs10 Default Paragraph Font;}}\\pard\\s1 Title\\par\\pard\\s0 body}",
                      document)
                  .ok());
  const QTextBlock title = document.firstBlock();
  EXPECT_EQ(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(fragments(title).front().format.fontWeight(), QFont::Bold);
  EXPECT_EQ(fragments(title).front().format.fontPointSize(), 16);
  EXPECT_EQ(fragments(title.next()).front().format.fontWeight(), QFont::Normal);
}

TEST(RtfFormatting, PageBreakStartsTheNextParagraphOnANewPage) {
  QTextDocument document;
  ASSERT_TRUE(readRtf("{\\rtf1\\ansi a\\page b}", document).ok());
  EXPECT_EQ(document.firstBlock().next().blockFormat().pageBreakPolicy(),
            QTextFormat::PageBreak_AlwaysBefore);
}

QTextTable *firstTable(const QTextDocument &document) {
  for (auto it = document.rootFrame()->begin(); !it.atEnd(); ++it)
    if (auto *table = qobject_cast<QTextTable *>(it.currentFrame())) return table;
  return nullptr;
}

TEST(RtfTables, ShapeWidthsBordersAndMerges) {
  QTextDocument document;
  // Row 1: A spans two columns by \clmgf/\clmrg; row 2: three cells on the same edges;
  // row 3: the first cell merged into the one above.
  ASSERT_TRUE(
      readRtf("{\\rtf1\\ansi"
              "\\trowd\\clbrdrt\\brdrs\\clmgf\\cellx1500\\clmrg\\cellx3000\\cellx4500"
              "\\intbl A\\cell\\cell C\\cell\\row"
              "\\trowd\\clvmgf\\cellx1500\\cellx3000\\cellx4500\\intbl D\\cell E\\cell F\\cell\\row"
              "\\trowd\\clvmrg\\cellx1500\\cellx3000\\cellx4500\\intbl\\cell H\\cell I\\cell\\row"
              "\\pard after}",
              document)
          .ok());
  QTextTable *table = firstTable(document);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rows(), 3);
  EXPECT_EQ(table->columns(), 3);
  EXPECT_EQ(table->cellAt(0, 0).columnSpan(), 2);
  EXPECT_EQ(table->cellAt(1, 0).rowSpan(), 2);
  EXPECT_EQ(table->cellAt(2, 0).row(), 1);
  EXPECT_EQ(table->cellAt(0, 2).firstCursorPosition().block().text(), u"C"_qs);
  EXPECT_EQ(table->cellAt(2, 2).firstCursorPosition().block().text(), u"I"_qs);
  const QTextTableFormat format = table->format();
  // Borders by cell and side: A has \clbrdrt only, the others none.
  const QTextTableCellFormat a = table->cellAt(0, 0).format().toTableCellFormat();
  EXPECT_EQ(a.topBorder(), 1);
  EXPECT_EQ(a.bottomBorder(), 0);
  EXPECT_EQ(table->cellAt(0, 2).format().toTableCellFormat().topBorder(), 0);
  ASSERT_EQ(format.columnWidthConstraints().size(), 3);
  EXPECT_DOUBLE_EQ(format.columnWidthConstraints()[0].rawValue(), 100); // 1500 twips
  EXPECT_EQ(documentPlainText(document), u"A\tC\nD\tE\tF\n\tH\tI\nafter"_qs);
}

TEST(RtfTables, RowsWithDifferentEdgesShareOneGrid) {
  QTextDocument document;
  ASSERT_TRUE(readRtf("{\\rtf1\\ansi\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row"
                      "\\trowd\\cellx1000\\cellx4000\\intbl c\\cell d\\cell\\row}",
                      document)
                  .ok());
  QTextTable *table = firstTable(document);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->columns(), 3); // edges 0, 1000, 2000, 4000
  EXPECT_EQ(table->cellAt(0, 0).columnSpan(), 2);
  EXPECT_EQ(table->cellAt(1, 1).columnSpan(), 2);
  EXPECT_EQ(documentPlainText(document), u"a\tb\nc\td"_qs);
}

TEST(RtfTables, NestedTableInsideACell) {
  QTextDocument document;
  ASSERT_TRUE(
      readRtf("{\\rtf1\\ansi\\trowd\\cellx5000\\intbl\\itap2 x\\nestcell y\\nestcell"
              "{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}\\itap1\\cell\\row}",
              document)
          .ok());
  QTextTable *outer = firstTable(document);
  ASSERT_NE(outer, nullptr);
  EXPECT_EQ(outer->rows(), 1);
  EXPECT_EQ(outer->columns(), 1);
  QTextTable *inner = nullptr;
  const QTextTableCell cell = outer->cellAt(0, 0);
  for (auto it = cell.begin(); !it.atEnd(); ++it)
    if (auto *table = qobject_cast<QTextTable *>(it.currentFrame())) inner = table;
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->columns(), 2);
  EXPECT_EQ(inner->cellAt(0, 1).firstCursorPosition().block().text(), u"y"_qs);
}

QByteArray encoded(const QImage &image, const char *format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format));
  return bytes;
}

std::vector<QTextImageFormat> images(const QTextDocument &document) {
  std::vector<QTextImageFormat> found;
  for (auto it = document.firstBlock().begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().isImageFormat())
      found.push_back(it.fragment().charFormat().toImageFormat());
  return found;
}

TEST(RtfPictures, PngAndJpegShownAtTheirSizeOthersAsPlaceholders) {
  QImage pixel(1, 1, QImage::Format_RGB32);
  pixel.fill(Qt::red);
  QImage photo(40, 20, QImage::Format_RGB32);
  photo.fill(Qt::blue);
  const QByteArray jpeg = encoded(photo, "JPEG");
  QTextDocument document;
  // PNG in hex at its goal size; JPEG as \bin data at its own size, scaled by half; a metafile.
  ASSERT_TRUE(readRtf("{\\rtf1\\ansi{\\pict\\pngblip\\picw1\\pich1\\picwgoal1440\\pichgoal720 " +
                          encoded(pixel, "PNG").toHex() +
                          "}{\\pict\\jpegblip\\picscalex50\\picscaley50\\bin" +
                          QByteArray::number(jpeg.size()) + " " + jpeg +
                          "}{\\pict\\wmetafile8\\picw2540\\pich1270 0102}}",
                      document)
                  .ok());
  const auto shown = images(document);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_DOUBLE_EQ(shown[0].width(), 96); // 1440 twips
  EXPECT_DOUBLE_EQ(shown[0].height(), 48);
  EXPECT_EQ(
      document.resource(QTextDocument::ImageResource, QUrl(shown[0].name())).value<QImage>().size(),
      QSize(1, 1));
  EXPECT_DOUBLE_EQ(shown[1].width(), 20);
  EXPECT_DOUBLE_EQ(shown[1].height(), 10);
  EXPECT_EQ(
      document.resource(QTextDocument::ImageResource, QUrl(shown[1].name())).value<QImage>().size(),
      QSize(40, 20));
  // The metafile: a placeholder of its size (2540 × 1270 hundredths of a millimetre).
  EXPECT_DOUBLE_EQ(shown[2].width(), 96);
  EXPECT_DOUBLE_EQ(shown[2].height(), 48);
  EXPECT_EQ(documentPlainText(document), QString());
}

TEST(RtfPictures, BrokenImageDataGivesAPlaceholder) {
  QTextDocument document;
  ASSERT_TRUE(
      readRtf("{\\rtf1\\ansi{\\pict\\pngblip\\picwgoal300\\pichgoal150 89504e47ffff}}", document)
          .ok());
  const auto shown = images(document);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_DOUBLE_EQ(shown[0].width(), 20);
  EXPECT_FALSE(document.resource(QTextDocument::ImageResource, QUrl(shown[0].name()))
                   .value<QImage>()
                   .isNull());
}

} // namespace
} // namespace velanta::richtext
