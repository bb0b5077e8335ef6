// The desktop shell: hands a document or web address to the system's handler for it.
#pragma once

#include <QString>

class QWidget;

namespace toolkit {

enum TShowCommand { SW_HIDE = 0, SW_SHOWNORMAL = 1 };

// Asks the desktop to perform `operation` ("open" is the one the desktop knows) on `file`,
// a web address or a path. The address goes to the desktop's handler as one argument
// (Qt's desktop services run the system's URL opener); nothing is ever put together into a
// command line. `parameters` and `directory` must be empty: the desktop's handlers take
// none. `owner` is the window on whose behalf the request is made.
//
// Returns whether the request was handed over; the program's links ignore the answer, and
// nothing is shown here when it fails.
bool ShellExecute(QWidget *owner, const QString &operation, const QString &file,
                  const QString &parameters = {}, const QString &directory = {},
                  int showCommand = SW_SHOWNORMAL);

} // namespace toolkit
