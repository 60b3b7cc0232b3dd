// Photographs the windows for the README: the main window as it starts, the About window that
// its menu item 关于 brings up, and the Open dialog on a folder of pages. Run it on a real display
// server (xvfb-run does).
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/application_setup.h"
#include "ui/main/form1.h"
#include "ui/main/platform_dialogs.h"

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

// A folder like one a user keeps pages in, with a sub-folder and pages of a few sizes.
bool fillFolder(const QTemporaryDir &folder) {
    if (!folder.isValid() || !QDir(folder.path()).mkdir(QStringLiteral("图片"))) return false;
    const QList<std::pair<QString, int>> pages{{QStringLiteral("index.html"), 23 << 10},
                                               {QStringLiteral("销售报表.htm"), 1 << 20},
                                               {QStringLiteral("说明.htm"), 812}};
    for (const auto &[name, size] : pages) {
        QFile page(QDir(folder.path()).filePath(name));
        if (!page.open(QIODevice::WriteOnly) || page.write(QByteArray(size, ' ')) != size)
            return false;
    }
    return true;
}

// Opens the Open dialog that the main window uses and photographs it once it has
// listed the folder.
bool photographOpenDialog(const QDir &folder, const QString &file) {
    QTemporaryDir pages;
    if (!fillFolder(pages)) return false;
    bool saved = false;
    QTimer::singleShot(1000, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            saved = dialog->grab().save(folder.filePath(file), "PNG");
            dialog->reject();
        }
    });
    QtPlatformDialogs().openFileName(nullptr, pages.filePath(QStringLiteral("说明.htm")));
    return saved;
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

    QtPlatformDialogs dialogs;
    Form1 form1(dialogs);
    form1.show();
    if (!photograph(&form1, folder, QStringLiteral("form1.png"))) return 1;

    form1.findChild<QAction *>(QStringLiteral("guanyu"))->trigger();
    if (!photograph(topLevelNamed(QStringLiteral("Form2")), folder, QStringLiteral("form2.png")))
        return 1;
    return photographOpenDialog(folder, QStringLiteral("open-dialog.png")) ? 0 : 1;
}
