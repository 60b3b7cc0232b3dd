#include "app/application_setup.h"

#include <QGuiApplication>
#include <QIcon>

#include "app/chinese_environment.h"
#include "core/page_file.h"

namespace {

// A web page squeezed from both sides, drawn for both sizes a window icon is shown in.
QIcon applicationIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/zerediz-32.xpm"));
    icon.addFile(QStringLiteral(":/icons/zerediz-16.xpm"));
    return icon;
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
