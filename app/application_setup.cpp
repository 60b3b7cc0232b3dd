#include "app/application_setup.h"

#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QTranslator>

#include "core/files/page_file.h"
#include "core/terminal/command_line.h"
#include "zerediz_version.h"

namespace {

// A web page squeezed from both sides, drawn for both sizes a window icon is shown in.
QIcon applicationIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/zerediz-32.xpm"));
    icon.addFile(QStringLiteral(":/icons/zerediz-16.xpm"));
    return icon;
}

// Linux systems know no face called 宋体 (SimSun) and fontconfig has no alias for it, so it would
// fall back to a sans face or show boxes. AR PL UMing is a Song face, as 宋体 is.
void mapSongFontNames() {
    const QStringList songFaces{QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW")};
    for (const QString &name : {QStringLiteral("宋体"), QStringLiteral("SimSun")})
        QFont::insertSubstitutions(name, songFaces);
}

void installQtTranslations(QCoreApplication &app, const QLocale &locale) {
    if (!installChineseQtTranslations(app))
        qWarning("zerediz: Qt's Chinese translations are missing (package qt6-translations-l10n)");
    // The few texts that Qt's catalogue leaves in English, built in; looked up before Qt's own.
    auto *extra = new QTranslator(&app);
    if (extra->load(locale, QStringLiteral("qt_extra"), QStringLiteral("_"),
                    QStringLiteral(":/translations")))
        QCoreApplication::installTranslator(extra);
    else
        delete extra;
}

// Makes the interface Simplified Chinese whatever the user's locale: Qt's own texts (file dialogs,
// message box buttons) are translated, and the Chinese font names that the windows ask for find a
// face of the same style on this system.
void setUpChineseEnvironment(QCoreApplication &app) {
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    // Numbers, dates and sizes that the windows write follow the language of the interface.
    QLocale::setDefault(chinese);
    installQtTranslations(app, chinese);
    // Fonts only matter where there is a display to draw on.
    if (qobject_cast<QGuiApplication *>(&app)) mapSongFontNames();
}

}  // namespace

void setUpApplication(QCoreApplication &app) {
    // A save beyond the file-size limit is an error the window reports, keeping the text.
    ignoreFileSizeSignal();
    // No display name: X11 would append it to every window title, and the About window's title
    // is "关于" alone.
    QCoreApplication::setApplicationName(QStringLiteral("zerediz"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEREDIZ_VERSION));
    setUpChineseEnvironment(app);
    if (!qobject_cast<QGuiApplication *>(&app)) return;
    // Lets the desktop match the windows to the installed zerediz.desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zerediz"));
    QGuiApplication::setWindowIcon(applicationIcon());
}
