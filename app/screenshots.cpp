// Photographs the windows for the README: the main window as it starts, the About window that
// its menu item 关于 brings up, the Open dialog on a folder of pages, and the question, progress
// dialog and summary of a folder compressed whole; then the progress dialog of a folder checked in
// the machine's browser, once it tells the time left. Run it on a real display server (xvfb-run
// does).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/application_setup.h"
#include "ui/main/form1.h"
#include "ui/main/platform_dialogs.h"
#include "ui/main/site_job.h"

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

// The dialogs of Qt's widgets, each of a site job's photographed on the way, and answered.
class PhotographedSiteDialogs final : public PlatformDialogs {
public:
    explicit PhotographedSiteDialogs(const QDir &folder) : folder_(folder) {}
    QStringList missed;  // the pictures not taken
    // The job is checked in the browser: only its progress dialog is photographed, once it tells
    // the time left a few pages in, and then cancelled.
    bool checkInBrowser = false;

    std::optional<QString> openFileName(QWidget *parent, const QString &startPath) override {
        return qt_.openFileName(parent, startPath);
    }
    std::optional<QString> saveFileName(QWidget *parent, const QString &startPath) override {
        return qt_.saveFileName(parent, startPath);
    }
    void showMessage(QWidget *parent, Icon icon, const QString &title,
                     const QString &text) override {
        qt_.showMessage(parent, icon, title, text);
    }
    Answer askToSave(QWidget *parent, const QString &title, const QString &text) override {
        return qt_.askToSave(parent, title, text);
    }
    bool askToReplace(QWidget *parent, const QString &title, const QString &text) override {
        return qt_.askToReplace(parent, title, text);
    }
    SiteChoice askSiteJob(QWidget *parent, const QString &title, const QString &text,
                          bool offerVerify) override {
        whenShown(checkInBrowser ? QString() : QStringLiteral("site-question.png"),
                  QStringLiteral("原地压缩"));
        return qt_.askSiteJob(parent, title, text, offerVerify);
    }
    // Photographed about half way, once the dialog has shown how far the job is; checked in the
    // browser, once it tells the time left.
    void showProgress(QWidget *parent, const QString &title, SiteJob &job) override {
        if (checkInBrowser) {
            QTimer::singleShot(0, &job, [this, &job] {
                QObject::connect(
                    &job, &SiteJob::progressed, &job,
                    [this, &job](qsizetype done, qsizetype total, const QString &,
                                 const QString &pace) {
                        // A few pages in, where the pace says something of the rest.
                        if (photographing_ || done < total / 30 ||
                            !pace.contains(QStringLiteral("剩余约")))
                            return;
                        // Reports already on their way come after the disconnection too.
                        photographing_ = true;
                        job.disconnect(&job);
                        // Once the dialog has drawn it; then 取消.
                        QTimer::singleShot(300, [this] {
                            QWidget *dialog = QApplication::activeModalWidget();
                            taken_ = save(dialog, QStringLiteral("site-progress-verify.png"));
                            for (QPushButton *button : dialog->findChildren<QPushButton *>())
                                if (button->text() == u"取消") button->click();
                        });
                    });
            });
            qt_.showProgress(parent, title, job);
            if (!taken_) missed.append(QStringLiteral("site-progress-verify.png"));
            return;
        }
        QTimer::singleShot(0, &job, [this, &job] {
            QObject::connect(&job, &SiteJob::progressed, &job,
                             [this, &job](qsizetype done, qsizetype total) {
                                 if (taken_ || total == 0 || done < total / 3) return;
                                 taken_ = save(QApplication::activeModalWidget(),
                                               QStringLiteral("site-progress.png"));
                                 job.disconnect(&job);
                             });
        });
        qt_.showProgress(parent, title, job);
        if (!taken_) missed.append(QStringLiteral("site-progress.png"));
    }
    bool showSummary(QWidget *parent, const QString &title, const QString &text,
                     const QString &details) override {
        whenShown(checkInBrowser ? QString() : QStringLiteral("site-summary.png"),
                  QStringLiteral("确定"), checkInBrowser ? QString() : QStringLiteral("显示"));
        return qt_.showSummary(parent, title, text, details);
    }
    void showFolder(const QString &) override {}
    bool askToStop(QWidget *parent, const QString &title, const QString &text) override {
        return qt_.askToStop(parent, title, text);
    }

private:
    bool save(QWidget *window, const QString &file) {
        return window && window->grab().save(folder_.filePath(file), "PNG");
    }
    // Photographs the box once it shows (unless file is empty), after clicking first (where it has
    // that button), then clicks answer.
    void whenShown(const QString &file, const QString &answer, const QString &first = {}) {
        QTimer::singleShot(500, [=, this] {
            QWidget *box = QApplication::activeModalWidget();
            const auto buttons = box ? box->findChildren<QPushButton *>() : QList<QPushButton *>();
            for (QPushButton *button : buttons)
                if (!first.isEmpty() && button->text().startsWith(first)) button->click();
            QTest::qWait(200);
            if (!file.isEmpty() && !save(box, file)) missed.append(file);
            // The browser's check would take its time over every page.
            if (box && !checkInBrowser)
                for (QCheckBox *check : box->findChildren<QCheckBox *>()) check->setChecked(false);
            for (QPushButton *button : buttons)
                if (button->text() == answer) button->click();
        });
    }

    QtPlatformDialogs qt_;
    QDir folder_;
    bool taken_ = false;
    bool photographing_ = false;
};

// A site of many small pages, some compressed already, a style sheet, and a page whose link leads
// nowhere, which the summary names.
bool fillSite(const QString &site) {
    if (!QDir().mkpath(site + QStringLiteral("/新闻"))) return false;
    for (int i = 0; i < 600; ++i) {
        const QString name = i % 2 ? QStringLiteral("%1/新闻/第%2期.htm").arg(site).arg(i)
                                   : QStringLiteral("%1/产品%2.html").arg(site).arg(i);
        QFile page(name);
        const QByteArray line = i % 7 ? "    <p>  内容  </p>    \r\n" : "<p>内容</p>\r\n";
        if (!page.open(QIODevice::WriteOnly) || page.write(line.repeated(400)) < 0) return false;
    }
    QFile sheet(site + QStringLiteral("/样式.css"));
    if (!sheet.open(QIODevice::WriteOnly) || sheet.write("  p { }  \n") < 0) return false;
    return QFile::link(site + QStringLiteral("/已删除.html"),
                       site + QStringLiteral("/旧版首页.html"));
}

// Compresses a site in place, through the question, the progress dialog and the summary; checked
// in the browser, only until its progress dialog tells the time left.
bool photographSiteJob(const QDir &folder, bool checkInBrowser) {
    QTemporaryDir dir;
    const QString site = dir.filePath(QStringLiteral("我的网站"));
    if (!dir.isValid() || !fillSite(site)) return false;
    PhotographedSiteDialogs dialogs(folder);
    dialogs.checkInBrowser = checkInBrowser;
    Form1 form1(dialogs);
    form1.show();
    if (!QTest::qWaitForWindowExposed(&form1)) return false;
    form1.compressFolder(site);
    for (const QString &file : dialogs.missed)
        std::fprintf(stderr, "missed: %s\n", qPrintable(file));
    return dialogs.missed.isEmpty();
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
    if (!photographOpenDialog(folder, QStringLiteral("open-dialog.png"))) return 1;
    form1.hide();
    return photographSiteJob(folder, false) && photographSiteJob(folder, true) ? 0 : 1;
}
