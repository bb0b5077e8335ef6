#include "app/velanta.h"

#include "toolkit/application.h"
#include "ui/tform1.h"

#include <memory>

int runMainWindow(toolkit::TApplication &application, const QString &formDescription) {
  try {
    const auto mainForm = std::make_unique<TForm1>(formDescription);
    application.run(*mainForm);
    return 0;
  } catch (...) {
    // A thrown object that is not an Exception is shown with an empty message. A failure
    // that ends the program is not reported as success.
    application.handleException(std::current_exception());
    return 1;
  }
}

int runVelanta(int argc, char **argv, const QString &formDescription) {
  toolkit::TApplication application(argc, argv);
  return runMainWindow(application, formDescription);
}
