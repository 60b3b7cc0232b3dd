// Photographs both windows for the README: the main window as it starts, then the About window
// that its menu item 关于 brings up. Run it on a real display server (xvfb-run does).
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <cstdio>

#include "app/application_setup.h"
#include "ui/main/form1.h"
#include "ui/main/qt_file_dialog_service.h"
#include "ui/main/qt_message_service.h"

namespace {

QWidget *topLevelNamed(const QString &name) {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name && widget->isVisible()) return widget;
    return nullptr;
}

bool photograph(QWidget *window, const QDir &folder, const QString &file) {
    if (!window || !QTest::qWaitForWindowExposed(window)) return false;
    // Lets the window finish painting after it is mapped.
    QTest::qWait(200);
    return window->grab().save(folder.filePath(file), "PNG");
}

}  // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    setUpApplication(app);
    if (argc != 2) {
        std::fputs("usage: zerediz_screenshots FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    QtFileDialogService dialogs;
    QtMessageService messages;
    Form1 form1(dialogs, messages);
    form1.show();
    if (!photograph(&form1, folder, QStringLiteral("form1.png"))) return 1;

    form1.findChild<QAction *>(QStringLiteral("guanyu"))->trigger();
    if (!photograph(topLevelNamed(QStringLiteral("Form2")), folder, QStringLiteral("form2.png")))
        return 1;
    return 0;
}
