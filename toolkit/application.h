// The application object: the program title, the event loop, and the catch points that
// turn every failure into an error box.
#pragma once

#include <QApplication>

#include <exception>

namespace toolkit {

class Exception;
class TForm;

class TApplication : public QApplication {
  Q_OBJECT

public:
  TApplication(int &argc, char **argv);
  ~TApplication() override;

  // The executable's file name cut before its first ".", every letter after the first in
  // lower case: the caption of every error box.
  static QString titleFromExecutable(const QString &path);
  const QString &title() const { return title_; }

  // Shows a failure in the error box; an EAbort is silent. A thrown object that is not an
  // Exception is shown as an Exception with `fallbackText`.
  void handleException(std::exception_ptr failure, const QString &fallbackText = {});
  void showException(const Exception &failure);

  // Shows the main window and runs the event loop until it closes.
  int run(TForm &mainForm);

  // Every dispatched event is a catch point: a failure in a handler ends that handler,
  // is shown, and the loop goes on.
  bool notify(QObject *receiver, QEvent *event) override;

private:
  void loadTranslations();
  void loadFonts();
  QString title_;
};

// The one application object of the process.
TApplication *Application();

} // namespace toolkit
