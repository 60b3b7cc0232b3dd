#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <QWindow>
#include <optional>

#include "ui/main/platform_dialogs.h"

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
