#include "output/window_commands.h"

#include "output/print_command.h"
#include "toolkit/data_set.h"
#include "toolkit/db_rich_edit.h"
#include "toolkit/label.h"

namespace output {

QString storedNameValue(const toolkit::TDBRichEdit &titleBox) {
  const toolkit::TField *field = titleBox.field();
  if (!field) return {};
  const toolkit::TDataSet *set = field->dataSet();
  if (set->isEmpty()) return {};
  return field->asString();
}

void saveCurrentDocument(const SaveCommand &command, const toolkit::TDBRichEdit &titleBox,
                         const toolkit::TLabel &extensionLabel,
                         const toolkit::TDBRichEdit &textView, toolkit::TSaveDialog &dialog) {
  const QString name = storedNameValue(titleBox); // a failure here comes before any dialog
  saveAsText(command, name, extensionLabel.caption(), textView.plainText(), dialog);
}

void printCurrentDocument(toolkit::TPrintDialog &dialog, const toolkit::TDBRichEdit &titleBox,
                          const toolkit::TDBRichEdit &textView) {
  printCommand(
      dialog, [&] { return storedNameValue(titleBox); }, *textView.document());
}

} // namespace output
