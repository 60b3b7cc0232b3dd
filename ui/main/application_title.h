#pragma once

#include <QString>

// The application's title, as the main window and its message boxes show it.
inline QString applicationTitle() {
    return QStringLiteral("Zerediz");
}
