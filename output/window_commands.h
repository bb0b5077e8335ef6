// The output commands as the main window's handlers call them: the controls they read the
// current document from, and the dialog each shows.
#pragma once

#include "output/save_command.h"

class QTextDocument;

namespace toolkit {
class TDBRichEdit;
class TLabel;
class TPrintDialog;
class TSaveDialog;
} // namespace toolkit

namespace output {

// The current document's Name as the title box's field stores it; what was typed into the
// box but not yet stored is not part of it. Empty when there is no current document (an
// empty or unopened documents table).
QString storedNameValue(const toolkit::TDBRichEdit &titleBox);

// "править в Word" / "править в Блокнот".
void saveCurrentDocument(const SaveCommand &command, const toolkit::TDBRichEdit &titleBox,
                         const toolkit::TLabel &extensionLabel,
                         const toolkit::TDBRichEdit &textView, toolkit::TSaveDialog &dialog);

// "Печать".
void printCurrentDocument(toolkit::TPrintDialog &dialog, const toolkit::TDBRichEdit &titleBox,
                          const toolkit::TDBRichEdit &textView);

} // namespace output
