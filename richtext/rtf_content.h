// What the RTF interpreter hands to its sinks: paragraphs with formatted runs, and tables of
// cells holding further blocks. Both the document builder and the plain-text writer work
// from these, so the two paths give the same text by construction.
#pragma once

#include <QByteArray>
#include <QRgb>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

namespace velanta::richtext::detail {

enum class Underline : std::uint8_t { None, Single, Double, Dotted, Dashed, Wave, Thick, Words };
enum class VerticalPosition : std::uint8_t { Normal, Super, Sub };
enum class Alignment : std::uint8_t { Left, Center, Right, Justify };

// Character formatting as the group state holds it (RTF numbers, not yet resolved).
struct CharState {
  int font = -1;      // RTF font number; -1: none given
  int halfPoints = 0; // \fsN; 0: none given (the document's default size)
  int foreground = 0; // colour-table index; 0: automatic
  int background = 0; // \cb / \chcbpat colour-table index; 0: none
  int highlight = 0;  // \highlight colour-table index; 0: none
  bool bold = false;
  bool italic = false;
  bool strike = false;
  bool caps = false;
  bool smallCaps = false;
  bool hidden = false; // \v: not shown
  Underline underline = Underline::None;
  VerticalPosition position = VerticalPosition::Normal;

  bool operator==(const CharState &) const = default;
};

enum class TabKind : std::uint8_t { Left, Center, Right, Decimal };
struct TabStop {
  int positionTw = 0;
  TabKind kind = TabKind::Left;
};
inline constexpr std::size_t kMaxTabStops = 24; // more are ignored

struct ParaState {
  int leftTw = 0, rightTw = 0, firstTw = 0; // \li \ri \fi (twips)
  int beforeTw = 0, afterTw = 0;            // \sb \sa
  int lineTw = 0;                           // \sl; 0: single
  bool lineMultiple = false;                // \slmult1
  Alignment alignment = Alignment::Left;
  bool inTable = false;                     // \intbl
  int nesting = 0;                          // \itapN
  int style = 0;                            // \sN
  std::array<TabStop, kMaxTabStops> tabs{}; // \txN, with \tqr \tqc \tqdec before it
  std::uint8_t tabCount = 0;

  // The table level this paragraph belongs to (0: not in a table).
  int tableLevel() const { return nesting > 0 ? nesting : (inTable ? 1 : 0); }
};

struct Picture {
  enum class Kind : std::uint8_t { Png, Jpeg, Other };
  Kind kind = Kind::Other;
  QByteArray data;                       // the image's bytes (Png and Jpeg only)
  int widthGoalTw = 0, heightGoalTw = 0; // \picwgoal \pichgoal
  int width = 0, height = 0;             // \picw \pich (pixels, or 0.01 mm for metafiles)
  int scaleX = 100, scaleY = 100;        // \picscalex \picscaley (percent)
};

// A stretch of a paragraph's text in one format (index into the reading's format list), or
// one U+FFFC standing for a picture (index into its picture list).
struct Run {
  qsizetype start = 0;
  qsizetype length = 0;
  int format = 0;
  int picture = -1;
};

struct Paragraph {
  QString text;
  std::vector<Run> runs; // empty when the reading keeps no formatting
  ParaState format;
  bool pageBreakBefore = false;
};

struct Table;
using Block = std::variant<Paragraph, std::unique_ptr<Table>>;

enum class Merge : std::uint8_t { None, First, Continue };

// Sides of a cell or row that have a border (RTF \clbrdrX, \trbrdrX).
enum BorderSide : std::uint8_t {
  kBorderTop = 1,
  kBorderLeft = 2,
  kBorderBottom = 4,
  kBorderRight = 8,
  kBorderInsideH = 16, // rows only: between rows
  kBorderInsideV = 32, // rows only: between cells
};

struct CellDef {
  int rightTw = 0;                // \cellxN: the cell's right edge
  Merge horizontal = Merge::None; // \clmgf \clmrg
  Merge vertical = Merge::None;   // \clvmgf \clvmrg
  std::uint8_t borders = 0;       // BorderSide bits
  int shading = 0;                // \clcbpat colour-table index; 0: none
};

struct RowDef {
  std::vector<CellDef> cells;
  int leftTw = 0;                        // \trleft
  int gapTw = 108;                       // \trgaph: half the space between cells
  std::uint8_t borders = 0;              // BorderSide bits
  Alignment alignment = Alignment::Left; // \trql \trqc \trqr

  // The definition of the cell at an index; cells past the last \cellx have none.
  CellDef cell(std::size_t index) const { return index < cells.size() ? cells[index] : CellDef{}; }
};

struct Cell {
  std::vector<Block> blocks;
};

struct Row {
  std::vector<Cell> cells;
  RowDef def;
};

struct Table {
  std::vector<Row> rows;
};

struct FontEntry {
  QString name;
  int codePage = 0; // 0: the document's
  enum class Family : std::uint8_t {
    Any,
    Roman,
    Swiss,
    Modern,
    Script,
    Decor,
    Tech
  } family = Family::Any;
  bool fixedPitch = false;
};

// Receives the document's top-level blocks in order, each as soon as it is complete.
class BlockSink {
public:
  virtual ~BlockSink() = default;
  virtual void block(Block &&block) = 0;
};

} // namespace velanta::richtext::detail
