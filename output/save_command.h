// "править в Word" and "править в Блокнот": one save procedure, two sets of constants.
#pragma once

#include <QString>

namespace toolkit {
class TSaveDialog;
}

namespace output {

// What distinguishes the two save commands. The extension itself is not a constant: it is
// read from the command's extension label at every run.
struct SaveCommand {
  const char16_t *filter; // the dialog's only entry, a bare pattern
};

inline constexpr SaveCommand kSaveForWord{u"*.doc"};
inline constexpr SaveCommand kSaveForNotepad{u"*.txt"};

// The title the save dialog shows.
inline constexpr char16_t kSaveDialogTitle[] = u"Сохранить текст документа";

// One run of a save command. `nameValue` is the current document's Name as its field stores
// it (empty with no current document), `extension` the extension label's caption and
// `plainText` the text view's plain text. Proposes the name, shows the dialog and, when it
// is confirmed, replaces the chosen file's content with the exported text. A failure to
// write is thrown (toolkit::Exception, in Russian, with the path and the reason); the old
// file is then left as it was.
void saveAsText(const SaveCommand &command, const QString &nameValue, const QString &extension,
                const QString &plainText, toolkit::TSaveDialog &dialog);

} // namespace output
