#include "richtext/rtf_interpreter.h"

#include "richtext/rtf_words.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace velanta::richtext::detail {

namespace {
constexpr int kMaxWordLength = 32;
// Cell edges past twice the widest page Word knows (22 inches) are taken as that.
constexpr int kMaxTableTwips = 2 * 22 * 1440;
constexpr char16_t kObjectReplacement = 0xFFFC;
constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kReplacement = 0xFFFD;

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
// A byte that is plain text in the body: everything but the RTF syntax, line ends (ignored in
// RTF), NUL, TAB (taken as \tab) and the bytes that need the code page.
bool isPlainAscii(unsigned char c) {
  return c >= 0x20 && c < 0x80 && c != '\\' && c != '{' && c != '}';
}

std::size_t hashCharState(const CharState &s) {
  std::size_t h = std::hash<int>{}(s.font);
  const auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
  mix(std::size_t(s.halfPoints));
  mix(std::size_t(s.foreground) << 16 | std::size_t(s.background));
  mix(std::size_t(s.highlight));
  mix(std::size_t(s.bold) | std::size_t(s.italic) << 1 | std::size_t(s.strike) << 2 |
      std::size_t(s.caps) << 3 | std::size_t(s.smallCaps) << 4 | std::size_t(s.hidden) << 5 |
      std::size_t(s.underline) << 8 | std::size_t(s.position) << 12);
  return h;
}
} // namespace

Interpreter::Interpreter(BlockSink &sink, ReadMode mode, bool loadPictures)
    : sink_(sink), mode_(mode), loadPictures_(loadPictures) {}

Interpreter::~Interpreter() = default;

const FontEntry *Interpreter::font(int number) const {
  const auto found = fonts_.find(number);
  return found == fonts_.end() ? nullptr : &found->second;
}

std::optional<QRgb> Interpreter::colour(int index) const {
  if (index <= 0 || index >= static_cast<int>(colours_.size())) return std::nullopt;
  return colours_[static_cast<std::size_t>(index)];
}

RtfReadResult Interpreter::run(QByteArrayView rtf) {
  data_ = rtf;
  pos_ = 0;
  result_ = {};
  if (!startsLikeRtf(rtf)) {
    result_.error = RtfError::NotRtf;
    return result_;
  }
  stack_.clear();
  stack_.reserve(64);
  stack_.emplace_back();
  while (pos_ < data_.size() && data_[pos_] != '{')
    ++pos_; // white space before the document's group
  parse();
  if (result_.ok()) finish();
  return result_;
}

// ---------------------------------------------------------------------------------------------
// Tokeniser

void Interpreter::parse() {
  while (!stop_ && pos_ < data_.size()) {
    const char c = data_[pos_];
    switch (c) {
    case '{':
      ++pos_;
      openGroup();
      break;
    case '}':
      ++pos_;
      closeGroup();
      break;
    case '\\':
      ++pos_;
      if (pos_ >= data_.size()) break;
      if (isLetter(data_[pos_]))
        controlWord();
      else
        controlSymbol(data_[pos_++]);
      break;
    case '\r':
    case '\n':
      ++pos_;
      break;
    default:
      textBytes();
      break;
    }
  }
}

void Interpreter::openGroup() {
  flushPendingText();
  skipCount_ = 0;
  if (static_cast<int>(stack_.size()) > kMaxGroupDepth) {
    ++flattenedGroups_; // read with the state of the deepest kept group
    starred_ = false;
    return;
  }
  GroupState next = stack_.back();
  if (next.destination == Destination::StyleSheet) {
    next = GroupState{};
    next.destination = Destination::StyleEntry;
    next.styleNumber = 0;
  }
  stack_.push_back(next);
  starred_ = false;
}

void Interpreter::closeGroup() {
  flushPendingText();
  skipCount_ = 0;
  starred_ = false;
  if (flattenedGroups_ > 0) {
    --flattenedGroups_;
    return;
  }
  if (stack_.size() <= 1) {
    // A closing brace with no open group: only reachable after the outermost group has
    // closed, which ends reading below.
    return;
  }
  const GroupState closing = stack_.back();
  stack_.pop_back();
  const Destination parent = stack_.back().destination;
  if (skipping_) {
    // A skipped group finishes nothing.
  } else if (closing.destination == Destination::Picture && parent != Destination::Picture)
    finishPicture();
  else if (closing.destination == Destination::FontTable)
    finishFontEntry();
  else if (closing.destination == Destination::StyleEntry && parent == Destination::StyleSheet &&
           closing.styleNumber >= 0)
    styles_[closing.styleNumber] = Style{closing.chr, closing.para};

  if (stack_.size() == 1) {
    // The document's group has closed: what follows is not part of it.
    for (qsizetype i = pos_; i < data_.size(); ++i) {
      const char c = data_[i];
      if (c != ' ' && c != '\r' && c != '\n' && c != '\t' && c != '\0') {
        result_.recoveredBraces = true;
        break;
      }
    }
    stop_ = true;
  }
}

void Interpreter::skipGroup() {
  // We are inside the group to skip (it is on the stack); read to its closing brace.
  int nested = 0;
  while (pos_ < data_.size()) {
    const char c = data_[pos_++];
    if (c == '{') {
      ++nested;
    } else if (c == '}') {
      if (nested == 0) {
        skipping_ = true;
        closeGroup();
        skipping_ = false;
        return;
      }
      --nested;
    } else if (c == '\\' && pos_ < data_.size()) {
      if (!isLetter(data_[pos_])) {
        ++pos_;
        continue;
      }
      const qsizetype start = pos_;
      while (pos_ < data_.size() && isLetter(data_[pos_]))
        ++pos_;
      const bool isBin = pos_ - start == 3 && std::memcmp(data_.data() + start, "bin", 3) == 0;
      long long value = 0;
      bool negative = false;
      if (pos_ < data_.size() && data_[pos_] == '-') {
        negative = true;
        ++pos_;
      }
      while (pos_ < data_.size() && isDigit(data_[pos_])) {
        if (value < 1'000'000'000'000LL) value = value * 10 + (data_[pos_] - '0');
        ++pos_;
      }
      if (pos_ < data_.size() && data_[pos_] == ' ') ++pos_;
      if (isBin && !negative) skipBinary(value, false);
    }
  }
  // The end of the data inside a skipped group: finish() closes what is open.
}

void Interpreter::controlWord() {
  const qsizetype start = pos_;
  while (pos_ < data_.size() && isLetter(data_[pos_]))
    ++pos_;
  const std::string_view word(data_.data() + start, static_cast<std::size_t>(std::min<qsizetype>(
                                                        pos_ - start, kMaxWordLength)));
  bool hasParam = false;
  bool negative = false;
  long long value = 0;
  if (pos_ < data_.size() && data_[pos_] == '-' && pos_ + 1 < data_.size() &&
      isDigit(data_[pos_ + 1])) {
    negative = true;
    ++pos_;
  }
  while (pos_ < data_.size() && isDigit(data_[pos_])) {
    hasParam = true;
    if (value <= 0x7fffffffLL) value = value * 10 + (data_[pos_] - '0');
    ++pos_;
  }
  if (pos_ < data_.size() && data_[pos_] == ' ') ++pos_;
  value = std::min<long long>(value, 0x7fffffffLL);
  const int param = static_cast<int>(negative ? -value : value);

  if (skipCount_ > 0) {
    // A word standing in the fallback of a \uN counts as one character.
    --skipCount_;
    if (word == "bin" && !negative) skipBinary(value, false);
    return;
  }
  dispatch(word, hasParam, param);
}

void Interpreter::controlSymbol(char symbol) {
  if (symbol == '\'') {
    hexByte();
    return;
  }
  if (skipCount_ > 0 && symbol != '*') {
    --skipCount_;
    return;
  }
  switch (symbol) {
  case '*':
    starred_ = true;
    return;
  case '\\':
  case '{':
  case '}':
    appendByte(static_cast<unsigned char>(symbol));
    return;
  case '~':
    if (inBody()) appendText(u"\u00A0");
    return;
  case '_':
    if (inBody()) appendText(u"\u2011");
    return;
  case '-': // optional hyphen: shown only where a line breaks at it
    if (inBody()) appendText(u"\u00AD");
    return;
  case '\r':
  case '\n':
    dispatch("par", false, 0);
    return;
  case '\t':
    dispatch("tab", false, 0);
    return;
  default: // \: (index), \| (formula) and the rest show nothing
    return;
  }
}

void Interpreter::hexByte() {
  int value = 0;
  int digits = 0;
  while (digits < 2 && pos_ < data_.size()) {
    const int v = hexValue(data_[pos_]);
    if (v < 0) break;
    value = value * 16 + v;
    ++digits;
    ++pos_;
  }
  if (skipCount_ > 0) {
    --skipCount_;
    return;
  }
  if (digits == 0) return; // a bad escape gives nothing
  const Destination dest = state().destination;
  if (dest == Destination::Picture) {
    if (mode_ == ReadMode::Rich && loadPictures_) picture_.data.append(static_cast<char>(value));
    return;
  }
  appendByte(static_cast<unsigned char>(value));
}

void Interpreter::textBytes() {
  const Destination dest = state().destination;
  if (dest == Destination::Picture) {
    // Hex digits of the picture's data; anything else in it is noise.
    while (pos_ < data_.size()) {
      const char c = data_[pos_];
      if (c == '\\' || c == '{' || c == '}') return;
      ++pos_;
      const int v = hexValue(c);
      if (v < 0 || mode_ != ReadMode::Rich || !loadPictures_) continue;
      if (pictureNibble_ < 0) {
        pictureNibble_ = v;
      } else {
        picture_.data.append(static_cast<char>(pictureNibble_ * 16 + v));
        pictureNibble_ = -1;
      }
    }
    return;
  }
  const unsigned char first = static_cast<unsigned char>(data_[pos_]);
  // ASCII is itself in every code page but the symbol fonts'.
  if (dest == Destination::Body && skipCount_ == 0 && isPlainAscii(first) &&
      pendingBytes_.isEmpty() && currentCodePage() != kSymbolCodePage &&
      currentCodePage() != kSymbolFontCodePage) {
    qsizetype end = pos_ + 1;
    while (end < data_.size() && isPlainAscii(static_cast<unsigned char>(data_[end])))
      ++end;
    appendLatin1(data_.data() + pos_, end - pos_);
    pos_ = end;
    return;
  }
  ++pos_;
  if (skipCount_ > 0) {
    --skipCount_;
    return;
  }
  if (first == '\t') {
    dispatch("tab", false, 0);
    return;
  }
  if (first < 0x20) return; // control characters are not text
  appendByte(first);
}

void Interpreter::skipBinary(long long count, bool keep) {
  const qsizetype n = static_cast<qsizetype>(std::min<long long>(count, data_.size() - pos_));
  if (keep) picture_.data.append(data_.data() + pos_, n);
  pos_ += n;
}

// ---------------------------------------------------------------------------------------------
// Words

void Interpreter::dispatch(std::string_view word, bool hasParam, int param) {
  const bool starred = starred_;
  starred_ = false;
  const Word id = lookupWord(word);
  word_ = id;

  if (id != Word::U && id != Word::Bin) flushPendingText();

  if (starred) {
    // "\*\word": read only destinations we know; skip the group of any other.
    const bool known = id == Word::Pict || id == Word::FieldResult || id == Word::Ud ||
                       id == Word::NestTableProps || id == Word::TransparentDestination ||
                       id == Word::FontTable || id == Word::ColourTable || id == Word::StyleSheet;
    if (!known) {
      if (stack_.size() > 1) skipGroup();
      return;
    }
  }

  GroupState &s = state();
  if (s.destination == Destination::Ignored) {
    if (id == Word::Ud) {
      s.destination = Destination::Body;
    } else if (id == Word::Bin) {
      skipBinary(param, false);
    } else if (id == Word::SkippedDestination || id == Word::FontTable || id == Word::ColourTable ||
               id == Word::StyleSheet || id == Word::Pict) {
      if (stack_.size() > 1) skipGroup();
    }
    return;
  }

  switch (id) {
  case Word::Rtf:
    return;
  case Word::Ansi:
    setDocumentCodePage(1252);
    return;
  case Word::Mac:
    setDocumentCodePage(10000);
    return;
  case Word::Pc:
    setDocumentCodePage(437);
    return;
  case Word::Pca:
    setDocumentCodePage(850);
    return;
  case Word::AnsiCpg:
    if (hasParam && param > 0) setDocumentCodePage(param);
    return;
  case Word::Deff:
    defaultFont_ = param;
    codePageFont_ = -2;
    return;
  case Word::Uc:
    s.unicodeSkip = std::clamp(param, 0, 16);
    return;
  case Word::U:
    if (s.destination == Destination::Body) appendUnicodeUnit(param);
    skipCount_ = s.unicodeSkip;
    return;
  case Word::Bin:
    skipBinary(param < 0 ? 0 : param,
               s.destination == Destination::Picture && mode_ == ReadMode::Rich && loadPictures_);
    return;
  default:
    break;
  }

  if (destinationWord()) return;

  switch (s.destination) {
  case Destination::FontTable:
    fontTableWord(param);
    return;
  case Destination::ColourTable:
    if (id == Word::Red)
      red_ = std::clamp(param, 0, 255);
    else if (id == Word::Green)
      green_ = std::clamp(param, 0, 255);
    else if (id == Word::Blue)
      blue_ = std::clamp(param, 0, 255);
    return;
  case Destination::Picture:
    pictureWord(param);
    return;
  case Destination::StyleEntry:
    if (id == Word::S) {
      s.styleNumber = std::max(param, 0);
      return;
    }
    if (id == Word::Cs) {
      // A character style: its formatting is repeated where it is used.
      s.styleNumber = -1;
      return;
    }
    if (!characterWord(hasParam, param)) paragraphWord(hasParam, param);
    return;
  case Destination::StyleSheet:
  case Destination::Ignored:
    return;
  case Destination::Body:
    break;
  }
  if (!characterWord(hasParam, param) && !paragraphWord(hasParam, param) && !tableWord(word, param))
    specialCharacterWord();
}

void Interpreter::setDocumentCodePage(int codePage) {
  documentCodePage_ = codePage;
  codePageFont_ = -2;
}

// Handles the words that start a destination; true when the word was one.
bool Interpreter::destinationWord() {
  const Word id = word_;
  switch (id) {
  case Word::FontTable:
  case Word::ColourTable:
  case Word::StyleSheet:
  case Word::Pict:
  case Word::Upr:
  case Word::Ud:
  case Word::NestTableProps:
  case Word::FieldResult:
  case Word::TransparentDestination:
  case Word::SkippedDestination:
    break;
  default:
    return false;
  }
  GroupState &s = state();
  if (stack_.size() <= 1) return true; // outside any group a destination word means nothing
  if (s.destination != Destination::Body) {
    // Inside a table of fonts, colours or styles, or a picture, a further destination holds
    // nothing that is read; the group goes.
    if (id != Word::Ud && id != Word::FieldResult && id != Word::TransparentDestination &&
        id != Word::NestTableProps)
      skipGroup();
    return true;
  }
  // Both reading modes run these the same way, so both see the same fonts and code pages.
  switch (id) {
  case Word::FontTable:
    s.destination = Destination::FontTable;
    pendingFontNumber_ = -1;
    fontNameBytes_.clear();
    return true;
  case Word::ColourTable:
    s.destination = Destination::ColourTable;
    colours_.clear();
    red_ = green_ = blue_ = -1;
    return true;
  case Word::StyleSheet:
    s.destination = Destination::StyleSheet;
    return true;
  case Word::Pict:
    if (s.chr.hidden) {
      skipGroup();
      return true;
    }
    paragraphHasContent_ = true;
    s.destination = Destination::Picture;
    picture_ = Picture{};
    pictureNibble_ = -1;
    return true;
  case Word::Upr:
    s.destination = Destination::Ignored;
    return true;
  case Word::NestTableProps:
    // Read as body text: Word puts only the nested row's definition and \nestrow here, but
    // other writers put the nested cells' paragraphs in it too.
    s.nestedRowDefinition = true;
    return true;
  case Word::SkippedDestination:
    skipGroup();
    return true;
  default: // \ud outside \upr, \fldrslt and the transparent ones: their text is body text
    return true;
  }
}

bool Interpreter::characterWord(bool hasParam, int param) {
  CharState &c = state().chr;
  const bool on = !hasParam || param != 0;
  switch (word_) {
  case Word::Plain:
    c = CharState{};
    return true;
  case Word::B:
    c.bold = on;
    return true;
  case Word::I:
    c.italic = on;
    return true;
  case Word::Ul:
    c.underline = on ? Underline::Single : Underline::None;
    return true;
  case Word::UlDouble:
    c.underline = on ? Underline::Double : Underline::None;
    return true;
  case Word::UlDotted:
    c.underline = on ? Underline::Dotted : Underline::None;
    return true;
  case Word::UlDashed:
    c.underline = on ? Underline::Dashed : Underline::None;
    return true;
  case Word::UlWave:
    c.underline = on ? Underline::Wave : Underline::None;
    return true;
  case Word::UlThick:
    c.underline = on ? Underline::Thick : Underline::None;
    return true;
  case Word::UlWords:
    c.underline = on ? Underline::Words : Underline::None;
    return true;
  case Word::UlNone:
    c.underline = Underline::None;
    return true;
  case Word::Strike:
    c.strike = on;
    return true;
  case Word::Caps:
    c.caps = on;
    return true;
  case Word::SmallCaps:
    c.smallCaps = on;
    return true;
  case Word::Hidden:
    c.hidden = on;
    return true;
  case Word::Fs:
    c.halfPoints = std::clamp(param, 0, 3276);
    return true;
  case Word::F:
    c.font = param;
    return true;
  case Word::Cf:
    c.foreground = std::max(param, 0);
    return true;
  case Word::Cb:
    c.background = std::max(param, 0);
    return true;
  case Word::Highlight:
    c.highlight = std::max(param, 0);
    return true;
  case Word::Super:
    c.position = VerticalPosition::Super;
    return true;
  case Word::Sub:
    c.position = VerticalPosition::Sub;
    return true;
  case Word::NoSuperSub:
    c.position = VerticalPosition::Normal;
    return true;
  case Word::Up:
    c.position = param > 0 || !hasParam ? VerticalPosition::Super : VerticalPosition::Normal;
    return true;
  case Word::Dn:
    c.position = param > 0 || !hasParam ? VerticalPosition::Sub : VerticalPosition::Normal;
    return true;
  case Word::S:
    if (state().destination == Destination::Body) applyStyle(param);
    return true;
  default:
    return false;
  }
}

bool Interpreter::paragraphWord(bool hasParam, int param) {
  ParaState &p = state().para;
  const bool body = state().destination == Destination::Body;
  switch (word_) {
  case Word::Pard: {
    p = ParaState{};
    return true;
  }
  case Word::Par:
  case Word::Sect:
  case Word::Column:
    if (body) endParagraph();
    return true;
  case Word::Line:
    if (body) appendText(QStringView(&kLineSeparator, 1));
    return true;
  case Word::Tab:
    if (body) appendText(u"\t");
    return true;
  case Word::Page:
    if (body) pageBreak();
    return true;
  case Word::Ql:
    p.alignment = Alignment::Left;
    return true;
  case Word::Qc:
    p.alignment = Alignment::Center;
    return true;
  case Word::Qr:
    p.alignment = Alignment::Right;
    return true;
  case Word::Qj:
    p.alignment = Alignment::Justify;
    return true;
  case Word::Li:
    p.leftTw = param;
    return true;
  case Word::Ri:
    p.rightTw = param;
    return true;
  case Word::Fi:
    p.firstTw = param;
    return true;
  case Word::Sb:
    p.beforeTw = param;
    return true;
  case Word::Sa:
    p.afterTw = param;
    return true;
  case Word::Sl:
    p.lineTw = param;
    return true;
  case Word::SlMult:
    p.lineMultiple = !hasParam || param != 0;
    return true;
  case Word::InTable:
    p.inTable = true;
    return true;
  case Word::Itap:
    p.nesting = std::clamp(param, 0, kMaxTableNesting);
    return true;
  case Word::TabRight:
    pendingTabKind_ = TabKind::Right;
    return true;
  case Word::TabCenter:
    pendingTabKind_ = TabKind::Center;
    return true;
  case Word::TabDecimal:
    pendingTabKind_ = TabKind::Decimal;
    return true;
  case Word::Tx:
    if (p.tabCount < kMaxTabStops)
      p.tabs[p.tabCount++] = TabStop{std::clamp(param, 0, 31680), pendingTabKind_};
    pendingTabKind_ = TabKind::Left;
    return true;
  case Word::PageBreakBefore:
    if (body && (!hasParam || param != 0)) {
      if (paragraphHasContent_)
        pageBreak();
      else
        paragraph_.pageBreakBefore = true;
    }
    return true;
  default:
    return false;
  }
}

bool Interpreter::tableWord(std::string_view word, int param) {
  const Word id = word_;
  const int level = std::max(1, state().para.tableLevel());
  switch (id) {
  case Word::Trowd:
    rowDefLevel_ = state().nestedRowDefinition ? std::max(2, level) : 1;
    rowDefs_[static_cast<std::size_t>(rowDefLevel_)] = RowDef{};
    pendingCell_ = CellDef{};
    cellBorderSide_ = rowBorderSide_ = 0;
    return true;
  case Word::Cellx: {
    auto &def = rowDefs_[static_cast<std::size_t>(rowDefLevel_)];
    pendingCell_.rightTw = std::clamp(param, -kMaxTableTwips, kMaxTableTwips);
    if (def.cells.size() < kMaxCellsPerRow) def.cells.push_back(pendingCell_);
    pendingCell_ = CellDef{};
    cellBorderSide_ = rowBorderSide_ = 0;
    return true;
  }
  case Word::TrLeft:
    rowDefs_[static_cast<std::size_t>(rowDefLevel_)].leftTw =
        std::clamp(param, -kMaxTableTwips, kMaxTableTwips);
    return true;
  case Word::TrGaph:
    rowDefs_[static_cast<std::size_t>(rowDefLevel_)].gapTw = std::clamp(param, 0, 1440);
    return true;
  case Word::TrQl:
    rowDefs_[static_cast<std::size_t>(rowDefLevel_)].alignment = Alignment::Left;
    return true;
  case Word::TrQc:
    rowDefs_[static_cast<std::size_t>(rowDefLevel_)].alignment = Alignment::Center;
    return true;
  case Word::TrQr:
    rowDefs_[static_cast<std::size_t>(rowDefLevel_)].alignment = Alignment::Right;
    return true;
  case Word::ClMgf:
    pendingCell_.horizontal = Merge::First;
    return true;
  case Word::ClMrg:
    pendingCell_.horizontal = Merge::Continue;
    return true;
  case Word::ClVmgf:
    pendingCell_.vertical = Merge::First;
    return true;
  case Word::ClVmrg:
    pendingCell_.vertical = Merge::Continue;
    return true;
  case Word::ClShading:
    pendingCell_.shading = std::max(param, 0);
    return true;
  case Word::ClBorderTop:
  case Word::ClBorderLeft:
  case Word::ClBorderBottom:
  case Word::ClBorderRight:
    rowBorderSide_ = 0;
    cellBorderSide_ = id == Word::ClBorderTop      ? kBorderTop
                      : id == Word::ClBorderLeft   ? kBorderLeft
                      : id == Word::ClBorderBottom ? kBorderBottom
                                                   : kBorderRight;
    return true;
  case Word::TrBorderTop:
  case Word::TrBorderLeft:
  case Word::TrBorderBottom:
  case Word::TrBorderRight:
  case Word::TrBorderInsideH:
  case Word::TrBorderInsideV:
    cellBorderSide_ = 0;
    rowBorderSide_ = id == Word::TrBorderTop       ? kBorderTop
                     : id == Word::TrBorderLeft    ? kBorderLeft
                     : id == Word::TrBorderBottom  ? kBorderBottom
                     : id == Word::TrBorderRight   ? kBorderRight
                     : id == Word::TrBorderInsideH ? kBorderInsideH
                                                   : kBorderInsideV;
    return true;
  case Word::ParagraphBorder:
    cellBorderSide_ = rowBorderSide_ = 0;
    return true;
  case Word::BorderNone:
    return true;
  case Word::Cell:
    if (state().destination == Destination::Body) endCell(1);
    return true;
  case Word::NestCell:
    if (state().destination == Destination::Body) endCell(std::max(2, level));
    return true;
  case Word::Row:
    if (state().destination == Destination::Body) endRow(1);
    return true;
  case Word::NestRow:
    endRow(std::max(2, level));
    return true;
  default:
    if (word.size() > 4 && word.substr(0, 4) == "brdr") {
      // A border style (\brdrs, \brdrdb, \brdrth, ...): the targeted border is drawn.
      pendingCell_.borders |= cellBorderSide_;
      rowDefs_[static_cast<std::size_t>(rowDefLevel_)].borders |= rowBorderSide_;
      return true;
    }
    return false;
  }
}

bool Interpreter::pictureWord(int param) {
  switch (word_) {
  case Word::PngBlip:
    picture_.kind = Picture::Kind::Png;
    return true;
  case Word::JpegBlip:
    picture_.kind = Picture::Kind::Jpeg;
    return true;
  case Word::OtherBlip:
    picture_.kind = Picture::Kind::Other;
    return true;
  case Word::PicW:
    picture_.width = std::max(param, 0);
    return true;
  case Word::PicH:
    picture_.height = std::max(param, 0);
    return true;
  case Word::PicWGoal:
    picture_.widthGoalTw = std::max(param, 0);
    return true;
  case Word::PicHGoal:
    picture_.heightGoalTw = std::max(param, 0);
    return true;
  case Word::PicScaleX:
    picture_.scaleX = std::clamp(param, 1, 10000);
    return true;
  case Word::PicScaleY:
    picture_.scaleY = std::clamp(param, 1, 10000);
    return true;
  default:
    return false;
  }
}

bool Interpreter::specialCharacterWord() {
  char16_t c = 0;
  switch (word_) {
  case Word::EmDash:
    c = 0x2014;
    break;
  case Word::EnDash:
    c = 0x2013;
    break;
  case Word::Bullet:
    c = 0x2022;
    break;
  case Word::LQuote:
    c = 0x2018;
    break;
  case Word::RQuote:
    c = 0x2019;
    break;
  case Word::LDblQuote:
    c = 0x201C;
    break;
  case Word::RDblQuote:
    c = 0x201D;
    break;
  case Word::EmSpace:
    c = 0x2003;
    break;
  case Word::EnSpace:
    c = 0x2002;
    break;
  case Word::QmSpace:
    c = 0x2005;
    break;
  case Word::Zwj:
    c = 0x200D;
    break;
  case Word::Zwnj:
    c = 0x200C;
    break;
  case Word::LtrMark:
    c = 0x200E;
    break;
  case Word::RtlMark:
    c = 0x200F;
    break;
  default:
    return false;
  }
  appendText(QStringView(&c, 1));
  return true;
}

void Interpreter::fontTableWord(int param) {
  switch (word_) {
  case Word::F:
    if (pendingFontNumber_ >= 0 && pendingFontNumber_ != param && !fontNameBytes_.isEmpty())
      finishFontEntry();
    pendingFontNumber_ = param;
    pendingFont_ = FontEntry{};
    fontNameBytes_.clear();
    break;
  case Word::FCharset:
    pendingFont_.codePage = codePageForCharset(param);
    break;
  case Word::Cpg:
    if (param > 0) pendingFont_.codePage = param;
    break;
  case Word::Fprq:
    pendingFont_.fixedPitch = param == 1;
    break;
  case Word::FRoman:
    pendingFont_.family = FontEntry::Family::Roman;
    break;
  case Word::FSwiss:
    pendingFont_.family = FontEntry::Family::Swiss;
    break;
  case Word::FModern:
    pendingFont_.family = FontEntry::Family::Modern;
    break;
  case Word::FScript:
    pendingFont_.family = FontEntry::Family::Script;
    break;
  case Word::FDecor:
    pendingFont_.family = FontEntry::Family::Decor;
    break;
  case Word::FTech:
    pendingFont_.family = FontEntry::Family::Tech;
    break;
  default:
    break;
  }
}

// ---------------------------------------------------------------------------------------------
// Text

int Interpreter::currentCodePage() {
  const GroupState &s = state();
  const int fontNumber = s.chr.font >= 0 ? s.chr.font : defaultFont_;
  if (fontNumber == codePageFont_) return codePageCache_;
  int codePage = 0;
  if (const FontEntry *entry = font(fontNumber)) codePage = entry->codePage;
  codePageFont_ = fontNumber;
  codePageCache_ = codePage > 0 ? codePage : documentCodePage_;
  return codePageCache_;
}

void Interpreter::appendByte(unsigned char byte) {
  const Destination dest = state().destination;
  if (dest == Destination::FontTable) {
    if (byte == ';')
      finishFontEntry();
    else
      fontNameBytes_.append(static_cast<char>(byte));
    return;
  }
  if (dest == Destination::ColourTable) {
    if (byte == ';') {
      if (red_ < 0 && green_ < 0 && blue_ < 0)
        colours_.emplace_back(std::nullopt);
      else
        colours_.emplace_back(qRgb(std::max(red_, 0), std::max(green_, 0), std::max(blue_, 0)));
      red_ = green_ = blue_ = -1;
    }
    return;
  }
  if (dest != Destination::Body) return;
  const int codePage = currentCodePage();
  if (isDoubleByteCodePage(codePage) || codePage == 65001) {
    if (!pendingBytes_.isEmpty() && pendingCodePage_ != codePage) flushPendingText();
    if (byte < 0x80 && pendingBytes_.isEmpty()) {
      const char16_t c = byte;
      appendText(QStringView(&c, 1));
      return;
    }
    pendingCodePage_ = codePage;
    pendingBytes_.append(static_cast<char>(byte));
    return;
  }
  const char16_t c = codePages_.singleByteTable(codePage)[byte];
  appendText(QStringView(&c, 1));
}

void Interpreter::appendUnicodeUnit(int unit) {
  char16_t c = static_cast<char16_t>(unit < 0 ? unit + 65536 : unit);
  if (c >= 0xF020 && c <= 0xF0FF && currentCodePage() == kSymbolFontCodePage)
    c = symbolFontCharacter(c);
  if (QChar::isHighSurrogate(c)) {
    if (pendingHigh_) appendText(QStringView(&kReplacement, 1));
    flushPendingText();
    pendingHigh_ = c;
    return;
  }
  if (QChar::isLowSurrogate(c)) {
    if (pendingHigh_) {
      const char16_t pair[2] = {pendingHigh_, c};
      pendingHigh_ = 0;
      appendText(QStringView(pair, 2));
    } else {
      appendText(QStringView(&kReplacement, 1));
    }
    return;
  }
  appendText(QStringView(&c, 1));
}

void Interpreter::flushPendingText() {
  if (pendingHigh_) {
    pendingHigh_ = 0;
    appendText(QStringView(&kReplacement, 1));
  }
  if (!pendingBytes_.isEmpty()) {
    QString decoded;
    codePages_.decodeInto(pendingCodePage_, pendingBytes_, decoded);
    pendingBytes_.clear();
    appendText(decoded);
  }
}

void Interpreter::prepareRun(qsizetype newChars) {
  paragraphHasContent_ = true;
  if (mode_ != ReadMode::Rich) return;
  const int format = currentFormat();
  auto &runs = paragraph_.runs;
  if (!runs.empty() && runs.back().picture < 0 && runs.back().format == format) {
    runs.back().length += newChars;
    return;
  }
  runs.push_back(Run{paragraph_.text.size(), newChars, format, -1});
}

void Interpreter::appendText(QStringView text) {
  if (text.isEmpty() || state().chr.hidden || state().destination != Destination::Body) return;
  // Control characters are no text, and a paragraph separator inside a paragraph is a line
  // break: the paragraphs are the ones the RTF makes. The two codes QTextDocument uses for
  // frame boundaries are no text either.
  const auto unwanted = [](QChar c) {
    return (c.unicode() < 0x20 && c != u'\t') || c == QChar::ParagraphSeparator ||
           c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1;
  };
  if (std::any_of(text.begin(), text.end(), unwanted)) {
    QString cleaned;
    for (const QChar c : text) {
      if (c == QChar::ParagraphSeparator)
        cleaned.append(QChar(kLineSeparator));
      else if (!unwanted(c))
        cleaned.append(c);
    }
    if (!cleaned.isEmpty()) appendText(cleaned);
    return;
  }
  if (pendingHigh_ && !(text.size() == 2 && text[0].isHighSurrogate())) {
    pendingHigh_ = 0;
    appendText(QStringView(&kReplacement, 1));
  }
  prepareRun(text.size());
  paragraph_.text.append(text);
}

void Interpreter::appendLatin1(const char *data, qsizetype size) {
  if (state().chr.hidden) return;
  if (pendingHigh_) {
    pendingHigh_ = 0;
    appendText(QStringView(&kReplacement, 1));
  }
  prepareRun(size);
  paragraph_.text.append(QLatin1StringView(data, size));
}

int Interpreter::currentFormat() {
  const CharState &chr = state().chr;
  if (lastFormat_ >= 0 && chr == lastFormatState_) return lastFormat_;
  auto &bucket = formatIndex_[hashCharState(chr)];
  int found = -1;
  for (const int index : bucket) {
    if (formats_[static_cast<std::size_t>(index)] == chr) {
      found = index;
      break;
    }
  }
  if (found < 0) {
    found = static_cast<int>(formats_.size());
    formats_.push_back(chr);
    bucket.push_back(found);
  }
  lastFormat_ = found;
  lastFormatState_ = chr;
  return found;
}

void Interpreter::finishFontEntry() {
  if (pendingFontNumber_ < 0) {
    fontNameBytes_.clear();
    return;
  }
  const int codePage = pendingFont_.codePage > 0 ? pendingFont_.codePage : documentCodePage_;
  QString name;
  codePages_.decodeInto(codePage == kSymbolCodePage ? 1252 : codePage, fontNameBytes_, name);
  pendingFont_.name = name.trimmed();
  if (pendingFont_.codePage == kSymbolCodePage &&
      pendingFont_.name.compare(u"Symbol", Qt::CaseInsensitive) == 0)
    pendingFont_.codePage = kSymbolFontCodePage;
  fonts_[pendingFontNumber_] = pendingFont_;
  pendingFontNumber_ = -1;
  pendingFont_ = FontEntry{};
  fontNameBytes_.clear();
  codePageFont_ = -2;
}

void Interpreter::finishPicture() {
  Picture picture = std::move(picture_);
  picture_ = Picture{};
  if (state().destination != Destination::Body || state().chr.hidden) return;
  paragraphHasContent_ = true;
  if (mode_ != ReadMode::Rich) return; // plain text shows no pictures
  if (picture.kind == Picture::Kind::Other) picture.data.clear();
  const int index = static_cast<int>(pictures_.size());
  pictures_.push_back(std::move(picture));
  paragraphHasContent_ = true;
  const int format = currentFormat();
  paragraph_.runs.push_back(Run{paragraph_.text.size(), 1, format, index});
  paragraph_.text.append(QChar(kObjectReplacement));
}

void Interpreter::applyStyle(int number) {
  GroupState &s = state();
  s.para.style = number;
  const auto found = styles_.find(number);
  if (found == styles_.end()) return;
  const ParaState &style = found->second.para;
  const bool inTable = s.para.inTable;
  const int nesting = s.para.nesting;
  s.para = style;
  s.para.inTable = inTable;
  s.para.nesting = nesting;
  s.para.style = number;
  s.chr = found->second.chr;
}

// ---------------------------------------------------------------------------------------------
// Structure

void Interpreter::endParagraph(int minimumLevel) {
  flushPendingText();
  Paragraph paragraph = std::move(paragraph_);
  paragraph_ = Paragraph{};
  paragraphHasContent_ = false;
  paragraph.format = state().para;
  const int level =
      std::min(std::max(paragraph.format.tableLevel(), minimumLevel), kMaxTableNesting);
  routeParagraph(std::move(paragraph), level);
}

void Interpreter::routeParagraph(Paragraph &&paragraph, int level) {
  closeTablesDeeperThan(level);
  if (level == 0) {
    sink_.block(Block(std::move(paragraph)));
    return;
  }
  ensureTables(level);
  tables_[static_cast<std::size_t>(level - 1)].cell.blocks.emplace_back(std::move(paragraph));
}

void Interpreter::ensureTables(int level) {
  while (static_cast<int>(tables_.size()) < level)
    tables_.emplace_back();
}

void Interpreter::closeTablesDeeperThan(int level) {
  while (static_cast<int>(tables_.size()) > level) {
    const int tableLevel = static_cast<int>(tables_.size());
    OpenTable open = std::move(tables_.back());
    tables_.pop_back();
    if (!open.cell.blocks.empty()) open.row.cells.push_back(std::move(open.cell));
    if (!open.row.cells.empty()) {
      open.row.def = rowDefs_[static_cast<std::size_t>(tableLevel)];
      open.table->rows.push_back(std::move(open.row));
    }
    if (open.table->rows.empty()) continue;
    emitBlock(Block(std::move(open.table)), tableLevel - 1);
  }
}

void Interpreter::emitBlock(Block &&block, int parentLevel) {
  if (parentLevel == 0)
    sink_.block(std::move(block));
  else
    tables_[static_cast<std::size_t>(parentLevel - 1)].cell.blocks.push_back(std::move(block));
}

void Interpreter::endCell(int level) {
  endParagraph(level);
  closeTablesDeeperThan(level);
  ensureTables(level);
  OpenTable &open = tables_[static_cast<std::size_t>(level - 1)];
  if (open.row.cells.size() < kMaxCellsPerRow) {
    open.row.cells.push_back(std::move(open.cell));
  } else {
    // Past Word's limit: the content joins the row's last cell rather than being lost.
    auto &last = open.row.cells.back().blocks;
    for (auto &block : open.cell.blocks)
      last.push_back(std::move(block));
  }
  open.cell = Cell{};
}

void Interpreter::endRow(int level) {
  flushPendingText();
  if (paragraphHasContent_) endCell(level);
  closeTablesDeeperThan(level);
  ensureTables(level);
  OpenTable &open = tables_[static_cast<std::size_t>(level - 1)];
  if (!open.cell.blocks.empty()) {
    open.row.cells.push_back(std::move(open.cell));
    open.cell = Cell{};
  }
  if (open.row.cells.empty()) return;
  open.row.def = rowDefs_[static_cast<std::size_t>(level)];
  open.table->rows.push_back(std::move(open.row));
  open.row = Row{};
}

void Interpreter::pageBreak() {
  flushPendingText();
  if (paragraphHasContent_) endParagraph();
  paragraph_.pageBreakBefore = true;
}

void Interpreter::finish() {
  flushPendingText();
  if (stack_.size() > 1) result_.recoveredBraces = true; // groups left open: closed here
  if (paragraphHasContent_) endParagraph();
  closeTablesDeeperThan(0);
}

} // namespace velanta::richtext::detail
