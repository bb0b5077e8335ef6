#include "output/save_command.h"

#include "output/text_export.h"
#include "toolkit/dialogs.h"

namespace output {

void saveAsText(const SaveCommand &command, const QString &nameValue, const QString &extension,
                const QString &plainText, toolkit::TSaveDialog &dialog) {
  dialog.setTitle(QString::fromUtf16(kSaveDialogTitle));
  dialog.setFileName(proposedFileName(nameValue, extension));
  dialog.setFilter(QString::fromUtf16(command.filter));
  // Replacing a file the user already has is asked about first.
  QStringList options = dialog.options();
  if (!options.contains(QStringLiteral("ofOverwritePrompt")))
    options.append(QStringLiteral("ofOverwritePrompt"));
  dialog.setOptions(options);
  if (!dialog.execute()) return;
  replaceFileContent(dialog.fileName(), exportedTextBytes(plainText));
}

} // namespace output
