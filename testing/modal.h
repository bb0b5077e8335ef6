// Answering modal dialogs from a test: the dialog runs its own loop, so the answer is
// given from a timer that watches for it.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace testing_support {

// Calls `answer` with the next modal widget that becomes active (within `timeoutMs`).
// Returns a flag that tells, afterwards, whether it was answered.
inline std::shared_ptr<bool> answerNextModal(std::function<void(QWidget *)> answer,
                                             int timeoutMs = 10000) {
  auto answered = std::make_shared<bool>(false);
  auto *timer = new QTimer(qApp);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, timer, [=] {
    QWidget *modal = QApplication::activeModalWidget();
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

} // namespace testing_support
