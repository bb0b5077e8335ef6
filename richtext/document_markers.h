// Properties the document builder leaves on the formats of what it creates so that the
// plain-text walker can tell Qt's structural parts from the document's own.
#pragma once

#include <QTextFormat>

namespace velanta::richtext::detail {

// A block that QTextDocument needs before or after a table but that holds no paragraph.
inline constexpr int kStructuralBlockProperty = QTextFormat::UserProperty + 0x7e1;
// A table cell that only fills the grid where a row has no cell of its own.
inline constexpr int kFillerCellProperty = QTextFormat::UserProperty + 0x7e2;

} // namespace velanta::richtext::detail
