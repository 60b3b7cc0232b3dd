#include "app/chinese_environment.h"

#include <QFont>
#include <QGuiApplication>
#include <QLocale>
#include <QTranslator>

#include "core/chinese_translations.h"

namespace {

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

}  // namespace

void setUpChineseEnvironment(QCoreApplication &app) {
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    // Numbers, dates and sizes that the windows write follow the language of the interface.
    QLocale::setDefault(chinese);
    installQtTranslations(app, chinese);
    // Fonts only matter where there is a display to draw on.
    if (qobject_cast<QGuiApplication *>(&app)) mapSongFontNames();
}
