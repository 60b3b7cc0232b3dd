#pragma once

#include <QMainWindow>
#include <QPointer>
#include <variant>

#include "core/site/site_run.h"

class CommonDialog;
class Form2;
class PlatformDialogs;
class QPushButton;
class QShortcut;
class SiteJob;
class TextArea;

// The main window: the document, a button for each file command and the About menu. A local
// file dropped anywhere on it is opened; a folder, or several pages dropped at once, are
// compressed whole (a site job), beside the document, which they leave alone. Ctrl+O and Ctrl+S
// click the buttons. Text typed since it was opened or saved is offered to be saved before
// another page replaces it or the window closes.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(PlatformDialogs &dialogs, QWidget *parent = nullptr);

    // Opens the file at path, an absolute path, as if it had been chosen in the Open dialog.
    void openFile(const QString &path);

public slots:
    // A site job over every page below folder, an absolute path: asks where the pages go, shows
    // how far it is, and sums up what it did.
    void compressFolder(const QString &folder);
    // A site job over these pages, absolute paths.
    void compressPages(const QStringList &pages);

protected:
    void closeEvent(QCloseEvent *event) override;
    // Takes the file drops on the window and on the text area.
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // "打开网页文件": offers to save typed text first, then asks for a file and loads it.
    void openCommand();
    // "压缩并保存为": asks for a target file and saves the text there. Returns whether the text
    // was saved.
    bool saveCommand();
    // "关于": swaps this window for the About window.
    void aboutCommand();

private:
    void createWidgets();
    void createMenu();
    void createShortcuts();
    void setUpWindow();
    void acceptFileDrops();
    void wire();

    bool maybeSave();
    bool mayReplace(const QString &path);
    void loadFile(const QString &path);
    bool saveFile(const QString &path);
    void warn(const QString &text);
    void backFromAbout(QPoint place);
    void runSiteJob(const QStringList &paths, const QString &folder);
    std::variant<SiteSize, PlanRefusal> measureSite(const QStringList &paths);

    PlatformDialogs &dialogs_;
    CommonDialog *commonDialog1_;
    TextArea *text1_;
    QPushButton *command1_ = nullptr;
    QPushButton *command2_ = nullptr;
    QAction *guanyu_ = nullptr;
    QShortcut *openShortcut_ = nullptr;
    QShortcut *saveShortcut_ = nullptr;
    QPointer<Form2> form2_;
    SiteJob *siteJob_ = nullptr;  // the one under way
    bool closeAfterJob_ = false;
    bool measuring_ = false;  // the site of a job to be asked for
};
