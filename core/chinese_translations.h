#pragma once

class QCoreApplication;

// Installs Qt's own Simplified Chinese texts (command-line help, standard dialogs and buttons)
// whatever the system's language is, as the whole interface is Chinese. False where they are
// missing (package qt6-translations-l10n); Qt's English texts stay then.
bool installChineseQtTranslations(QCoreApplication &app);
