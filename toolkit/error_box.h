// The error box: how every failure reaches the user.
#pragma once

#include <QString>

class QWidget;

namespace toolkit {

// The text the box shows for a message: a "." is appended when the message is not empty
// and its last character's code in the single-byte code page (1251) is above that of ".".
// So letters (Latin and Cyrillic, "ё" and "я" included), digits, ":" and "?" gain a ".",
// while ".", "!", ",", "-", ")", quotes and blanks do not.
QString errorBoxText(const QString &message);

// Shows the modal box: error icon, one OK button, the program title as caption.
// Returns when the user has dismissed it; the previously active window gets focus back.
void showErrorBox(const QString &caption, const QString &text);

} // namespace toolkit
