#pragma once

#include <QEventLoop>
#include <QList>
#include <QString>
#include <QWidget>
#include <QWindow>
#include <functional>
#include <optional>

#include "ui/main/platform_dialogs.h"
#include "ui/main/site_job.h"

// The platform's dialogs, answered by a script: file dialogs take their answers from a queue and
// record the name each started with; message boxes are recorded instead of shown.
class ScriptedDialogs final : public PlatformDialogs {
public:
    struct Shown {
        Icon icon;
        QString title;
        QString text;
        QWidget *parent;
        bool overShownWindow;  // the window it belongs to was on the screen
    };

    QList<std::optional<QString>> files;  // the file dialogs' answers; nullopt stands for Cancel
    QStringList startPaths;
    QStringList kinds;  // "open" or "save", one per file dialog shown
    QList<Shown> shown;
    QList<Answer> answers;  // to the question whether to save first; 不保存 once none is left
    QList<Shown> asked;
    QList<bool> replaceAnswers;  // to the question whether to replace a file; 是 once none is left
    QList<Shown> askedToReplace;
    // A site job: the question's answer (取消 once none is left) and whether it offered the
    // browser's check; the progress dialog's 取消 after so many reports of progress (0: as soon
    // as it shows), and what else happens while it shows; the summaries, and whether 打开文件夹
    // is clicked; the folders shown; the answers to whether to stop a job and close (停止 once
    // none is left).
    QList<SiteChoice> siteAnswers;
    QList<Shown> askedSite;
    QList<bool> offeredVerify;
    std::optional<int> cancelAfter;
    std::function<void()> whileInProgress;
    int progressShown = 0;
    QList<qsizetype> progressTotals;  // the total of each report of progress
    QStringList progressPages;
    QList<Shown> summaries;
    QStringList summaryDetails;
    bool openFolder = false;
    QStringList foldersShown;
    QList<bool> stopAnswers;
    QList<Shown> askedToStop;

    std::optional<QString> openFileName(QWidget *, const QString &startPath) override {
        return nextFile(QStringLiteral("open"), startPath);
    }
    std::optional<QString> saveFileName(QWidget *, const QString &startPath) override {
        return nextFile(QStringLiteral("save"), startPath);
    }
    void showMessage(QWidget *parent, Icon icon, const QString &title,
                     const QString &text) override {
        shown.append({icon, title, text, parent, isOnScreen(parent)});
    }
    Answer askToSave(QWidget *parent, const QString &title, const QString &text) override {
        asked.append({Icon::Warning, title, text, parent, isOnScreen(parent)});
        return answers.isEmpty() ? Answer::Discard : answers.takeFirst();
    }

    bool askToReplace(QWidget *parent, const QString &title, const QString &text) override {
        askedToReplace.append({Icon::Warning, title, text, parent, isOnScreen(parent)});
        return replaceAnswers.isEmpty() || replaceAnswers.takeFirst();
    }

    SiteChoice askSiteJob(QWidget *parent, const QString &title, const QString &text,
                          bool offerVerify) override {
        askedSite.append({Icon::None, title, text, parent, isOnScreen(parent)});
        offeredVerify.append(offerVerify);
        return siteAnswers.isEmpty() ? SiteChoice{} : siteAnswers.takeFirst();
    }
    // Waits in an event loop of its own, as a modal dialog does, until the job is finished.
    void showProgress(QWidget *, const QString &, SiteJob &job) override {
        ++progressShown;
        QEventLoop loop;
        int reports = 0;
        QObject::connect(&job, &SiteJob::finished, &loop, &QEventLoop::quit);
        QObject::connect(&job, &SiteJob::progressed, &loop,
                         [&](qsizetype, qsizetype total, const QString &page) {
                             progressTotals.append(total);
                             progressPages.append(page);
                             if (cancelAfter && ++reports >= *cancelAfter) job.cancel();
                         });
        if (cancelAfter == 0) job.cancel();
        if (whileInProgress) whileInProgress();
        if (!job.isFinished()) loop.exec();
    }
    bool showSummary(QWidget *parent, const QString &title, const QString &text,
                     const QString &details) override {
        summaries.append({Icon::None, title, text, parent, isOnScreen(parent)});
        summaryDetails.append(details);
        return openFolder;
    }
    void showFolder(const QString &folder) override { foldersShown.append(folder); }
    bool askToStop(QWidget *parent, const QString &title, const QString &text) override {
        askedToStop.append({Icon::Warning, title, text, parent, isOnScreen(parent)});
        return stopAnswers.isEmpty() || stopAnswers.takeFirst();
    }

private:
    std::optional<QString> nextFile(const QString &kind, const QString &startPath) {
        kinds.append(kind);
        startPaths.append(startPath);
        return files.isEmpty() ? std::nullopt : files.takeFirst();
    }
    static bool isOnScreen(QWidget *window) {
        return window && window->windowHandle() && window->windowHandle()->isExposed();
    }
};

Q_DECLARE_METATYPE(PlatformDialogs::Answer)
Q_DECLARE_METATYPE(PlatformDialogs::SitePlace)
