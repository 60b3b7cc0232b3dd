#pragma once

#include <QString>
#include <optional>

class QWidget;
class SiteJob;

// The platform's file dialogs and message boxes: everything the main window asks the user
// through windows of the platform's own. Each call returns once its window is dismissed. The
// window tests stand in for it with scripted answers.
class PlatformDialogs {
public:
    enum class Icon { None, Warning };
    enum class Answer { Save, Discard, Cancel };
    // Where a site's compressed pages go, or 取消.
    enum class SitePlace { NewFolder, InPlace, Cancel };
    struct SiteChoice {
        SitePlace place = SitePlace::Cancel;
        bool verify = false;  // each changed page is checked in the browser first
        bool deep = false;    // the tabs and the lines left empty go too (TrimLevel::Deep)
    };

    virtual ~PlatformDialogs() = default;

    // The Open and the Save dialog. Both list all files, start with startPath filled in, and
    // return the chosen full path, or nullopt when the user cancelled.
    virtual std::optional<QString> openFileName(QWidget *parent, const QString &startPath) = 0;
    virtual std::optional<QString> saveFileName(QWidget *parent, const QString &startPath) = 0;

    // A message box with a single OK button, centred on parent's window.
    virtual void showMessage(QWidget *parent, Icon icon, const QString &title,
                             const QString &text) = 0;
    // A warning that asks whether to save first, with the buttons 保存, 不保存 and 取消, centred on
    // parent's window. Esc and the close box answer 取消.
    virtual Answer askToSave(QWidget *parent, const QString &title, const QString &text) = 0;
    // A warning that asks whether to replace an existing file, with the buttons 是 and 否,
    // centred on parent's window. 否 is the default, and Esc and the close box answer it too:
    // a slip of the Enter key must not cost a file.
    virtual bool askToReplace(QWidget *parent, const QString &title, const QString &text) = 0;

    // The question before a site job, with the buttons 压缩到新文件夹 (the default), 原地压缩 and
    // 取消; Esc and the close box answer 取消. Where offerVerify, a box "在浏览器中核对每个网页",
    // checked at first; always a box "深度压缩（也去掉行首行尾的制表符和空行）", unchecked at
    // first.
    virtual SiteChoice askSiteJob(QWidget *parent, const QString &title, const QString &text,
                                  bool offerVerify) = 0;
    // Shows how far the job is, modal to parent's window, until it is finished: the count, the
    // page under way and 取消, which asks the job to stop (as Esc and the close box do).
    virtual void showProgress(QWidget *parent, const QString &title, SiteJob &job) = 0;
    // What a site job did, with details where there are any, and a button 打开文件夹 besides OK:
    // answers whether it was clicked.
    virtual bool showSummary(QWidget *parent, const QString &title, const QString &text,
                             const QString &details) = 0;
    // Shows the folder in the desktop's file manager.
    virtual void showFolder(const QString &folder) = 0;
    // Whether to stop a job under way and close the window: the buttons 停止 and 继续, 继续 the
    // default, as Esc and the close box answer.
    virtual bool askToStop(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The dialogs and boxes of Qt's widgets, in the application's language whatever the desktop's.
class QtPlatformDialogs final : public PlatformDialogs {
public:
    std::optional<QString> openFileName(QWidget *parent, const QString &startPath) override;
    std::optional<QString> saveFileName(QWidget *parent, const QString &startPath) override;
    void showMessage(QWidget *parent, Icon icon, const QString &title,
                     const QString &text) override;
    Answer askToSave(QWidget *parent, const QString &title, const QString &text) override;
    bool askToReplace(QWidget *parent, const QString &title, const QString &text) override;
    SiteChoice askSiteJob(QWidget *parent, const QString &title, const QString &text,
                          bool offerVerify) override;
    void showProgress(QWidget *parent, const QString &title, SiteJob &job) override;
    bool showSummary(QWidget *parent, const QString &title, const QString &text,
                     const QString &details) override;
    void showFolder(const QString &folder) override;
    bool askToStop(QWidget *parent, const QString &title, const QString &text) override;
};
