// The program's entry, as functions so that tests can start it with another description.
#pragma once

#include <QString>

namespace toolkit {
class TApplication;
}

// Builds the main window from `formDescription` and runs the event loop until the window
// closes. Returns the exit status: 0 after a normal close (also when the tables failed to
// open), 1 when a failure ended the program before or outside the loop.
int runMainWindow(toolkit::TApplication &application, const QString &formDescription);

// The whole program: the application object, then runMainWindow.
int runVelanta(int argc, char **argv, const QString &formDescription);
