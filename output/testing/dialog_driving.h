// Driving the real dialogs from tests: each dialog runs its own loop, so the test answers
// it from a timer that waits for the widget it expects.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace output_testing {

// Calls `answer` with the first visible modal widget of type T that appears within
// `timeoutMs` (the widget of another type that may be modal meanwhile is left alone).
// The flag tells afterwards whether it came.
template <typename T>
std::shared_ptr<bool> answerNext(std::function<void(T *)> answer, int timeoutMs = 15000) {
  auto answered = std::make_shared<bool>(false);
  auto *timer = new QTimer(qApp);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, timer, [=] {
    auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
    if (modal && modal->isVisible()) {
      timer->stop();
      timer->deleteLater();
      *answered = true;
      answer(modal);
    } else if (clock->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
  return answered;
}

// Types each character as a key event of its own (Cyrillic included), as a user would.
inline void typeText(QWidget *widget, const QString &text) {
  for (const QChar ch : text)
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// The file dialog's name box.
inline QLineEdit *fileNameEdit(QFileDialog *dialog) {
  return dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// Replaces the name box's text by typing `path`, then confirms with Return.
inline void typePathAndConfirm(QFileDialog *dialog, const QString &path) {
  QLineEdit *edit = fileNameEdit(dialog);
  // The dialog follows the name box's typing (and drops what it selected for an earlier
  // prefix) only while the box has the focus.
  QApplication::setActiveWindow(dialog);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  typeText(edit, path);
  // The completion list would take the Return for itself.
  if (edit->completer() && edit->completer()->popup()) edit->completer()->popup()->hide();
  QTest::keyClick(edit, Qt::Key_Return);
}

// Presses the box's button with the given role (Yes/No/Ok...).
inline void pressButton(QMessageBox *box, QMessageBox::StandardButton which) {
  if (QAbstractButton *button = box->button(which)) button->click();
}

} // namespace output_testing
