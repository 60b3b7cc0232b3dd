#pragma once

class QCoreApplication;

// Makes the interface Simplified Chinese whatever the user's locale: Qt's own texts (file dialogs,
// message box buttons) are translated, and the Chinese font names that the windows ask for find a
// face of the same style on this system.
void setUpChineseEnvironment(QCoreApplication &app);
