// The RTF interpreter: tokenises the bytes and keeps the group state (destination, character
// and paragraph format, code page, \uc skip count), building paragraphs and tables that it
// hands to a BlockSink as each top-level block completes. One pass, no recursion; the saved
// group states are bounded by kMaxGroupDepth and table nesting by kMaxTableNesting.
#pragma once

#include "richtext/code_pages.h"
#include "richtext/rtf_content.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_words.h"

#include <QByteArrayView>

#include <array>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velanta::richtext::detail {

inline constexpr int kMaxTableNesting = 16;        // Word's nesting rarely passes 3
inline constexpr std::size_t kMaxCellsPerRow = 63; // Word's own limit

enum class ReadMode {
  Rich,      // keep formatting runs and pictures
  PlainText, // text only: no runs, pictures skipped unread
};

class Interpreter {
public:
  Interpreter(BlockSink &sink, ReadMode mode, bool loadPictures = true);
  ~Interpreter();
  Interpreter(const Interpreter &) = delete;
  Interpreter &operator=(const Interpreter &) = delete;

  RtfReadResult run(QByteArrayView rtf);

  // For the sink, while it receives blocks: the formats and pictures that runs refer to.
  const CharState &format(int index) const { return formats_[static_cast<std::size_t>(index)]; }
  Picture takePicture(int index) { return std::move(pictures_[static_cast<std::size_t>(index)]); }
  const FontEntry *font(int number) const;
  std::optional<QRgb> colour(int index) const;
  int defaultFont() const { return defaultFont_; }

private:
  enum class Destination : std::uint8_t {
    Body,    // text of the document
    Ignored, // text and words dropped (\upr's ANSI part)
    FontTable,
    ColourTable,
    StyleSheet,
    StyleEntry,
    Picture,
  };
  struct GroupState {
    CharState chr;
    ParaState para;
    Destination destination = Destination::Body;
    int unicodeSkip = 1;              // \ucN
    int styleNumber = 0;              // in a style entry: the style it defines
    bool nestedRowDefinition = false; // in \nesttableprops: \trowd defines a nested row
  };
  struct Style {
    CharState chr;
    ParaState para;
  };
  struct OpenTable {
    std::unique_ptr<Table> table = std::make_unique<Table>();
    Row row;
    Cell cell;
  };

  // Tokeniser.
  void parse();
  void openGroup();
  void closeGroup();
  void skipGroup(); // to the end of the current group, reading nothing but braces and \bin
  void controlWord();
  void controlSymbol(char symbol);
  void hexByte();
  void textBytes();
  void skipBinary(long long count, bool keep);

  // Words.
  void dispatch(std::string_view word, bool hasParam, int param);
  void setDocumentCodePage(int codePage);
  // Each handles word_ when it is of its kind and says whether it was.
  bool destinationWord();
  bool characterWord(bool hasParam, int param);
  bool paragraphWord(bool hasParam, int param);
  bool tableWord(std::string_view word, int param);
  bool pictureWord(int param);
  bool specialCharacterWord();
  void fontTableWord(int param);

  // Text.
  void appendByte(unsigned char byte);
  void appendUnicodeUnit(int unit);
  void appendText(QStringView text);
  void appendLatin1(const char *data, qsizetype size);
  void flushPendingText();
  void prepareRun(qsizetype newChars);
  int currentFormat();
  int currentCodePage();
  void finishFontEntry();
  void finishPicture(); // at the end of the \pict group: the picture joins the paragraph
  void applyStyle(int number);

  // Structure.
  void endParagraph(int minimumLevel = 0);
  void routeParagraph(Paragraph &&paragraph, int level);
  void ensureTables(int level);
  void closeTablesDeeperThan(int level);
  void endCell(int level);
  void endRow(int level);
  void emitBlock(Block &&block, int parentLevel);
  void pageBreak();
  void finish();

  GroupState &state() { return stack_.back(); }
  bool inBody() const { return stack_.back().destination == Destination::Body; }

  BlockSink &sink_;
  const ReadMode mode_;
  const bool loadPictures_;
  QByteArrayView data_;
  qsizetype pos_ = 0;
  RtfReadResult result_;
  bool stop_ = false;
  bool starred_ = false;      // "\*" seen: the next word decides whether the group is read
  bool skipping_ = false;     // closing a skipped group
  Word word_ = Word::Unknown; // the word being dispatched
  int skipCount_ = 0;         // fallback characters still to drop after \uN
  int flattenedGroups_ = 0;   // open groups past kMaxGroupDepth

  std::vector<GroupState> stack_;
  CodePages codePages_;
  int documentCodePage_ = 1252;
  int defaultFont_ = -1;
  int codePageFont_ = -2; // font whose code page codePageCache_ holds
  int codePageCache_ = 1252;

  // Text not yet decoded: bytes of a double-byte code page, a high surrogate from \uN.
  QByteArray pendingBytes_;
  int pendingCodePage_ = 0;
  char16_t pendingHigh_ = 0;

  Paragraph paragraph_;
  bool paragraphHasContent_ = false;
  std::vector<CharState> formats_;
  std::unordered_map<std::size_t, std::vector<int>> formatIndex_;
  CharState lastFormatState_;
  int lastFormat_ = -1;
  std::vector<Picture> pictures_;
  Picture picture_;
  int pictureNibble_ = -1;

  std::unordered_map<int, FontEntry> fonts_;
  FontEntry pendingFont_;
  int pendingFontNumber_ = -1;
  QByteArray fontNameBytes_;
  std::vector<std::optional<QRgb>> colours_;
  int red_ = -1, green_ = -1, blue_ = -1;
  std::unordered_map<int, Style> styles_;

  std::vector<OpenTable> tables_;
  std::array<RowDef, kMaxTableNesting + 1> rowDefs_;
  int rowDefLevel_ = 1;
  CellDef pendingCell_;
  TabKind pendingTabKind_ = TabKind::Left; // for the next \txN
  // The border a following \brdrX style word draws: a side of the pending cell or the row.
  std::uint8_t cellBorderSide_ = 0;
  std::uint8_t rowBorderSide_ = 0;
};

} // namespace velanta::richtext::detail
