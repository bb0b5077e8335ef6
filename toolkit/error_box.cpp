#include "toolkit/error_box.h"

#include "toolkit/text_codec.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace toolkit {

QString errorBoxText(const QString &message) {
  if (message.isEmpty())
    return message;
  const QByteArray lastChar = toCp1251(message.right(1));
  // A character the code page cannot hold is written as "?", which is above ".".
  const unsigned char code = lastChar.isEmpty() ? '?' : static_cast<unsigned char>(lastChar[0]);
  return code > '.' ? message + u'.' : message;
}

void showErrorBox(const QString &caption, const QString &text) {
  QPointer<QWidget> previous = QApplication::activeWindow();
  QPointer<QWidget> focused = QApplication::focusWidget();
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, previous);
  box.setObjectName(QStringLiteral("ErrorBox"));
  box.exec();
  if (previous)
    previous->activateWindow();
  if (focused)
    focused->setFocus(Qt::OtherFocusReason);
}

} // namespace toolkit
