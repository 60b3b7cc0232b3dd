#pragma once

class QCoreApplication;

// Everything the application sets once before its first window: its names and version, its icon,
// its Chinese environment, and writes that fail past the file-size limit instead of ending it. A
// QCoreApplication, which answers the command line where there is no display, gets all but the
// icon.
void setUpApplication(QCoreApplication &app);

// Whether there is a display to show a window on, asked before the application is made: on Linux,
// a display server or Qt platform named in the environment; on Windows, always. Each platform has
// its own file of it.
bool hasDisplay();
