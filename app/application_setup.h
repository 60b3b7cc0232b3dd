#pragma once

class QCoreApplication;

// Everything the application sets once before its first window: its names and version, its icon
// and its Chinese environment. A QCoreApplication, which answers the command line where there is
// no display, gets the names, the version and the translations.
void setUpApplication(QCoreApplication &app);
