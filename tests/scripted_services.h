#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <QWindow>
#include <optional>

#include "ui/main/file_dialog_service.h"
#include "ui/main/message_service.h"

// File dialogs whose answers a test queues up; they record the name each dialog started with.
class ScriptedFileDialogs final : public FileDialogService {
public:
    QList<std::optional<QString>> answers;  // nullopt stands for Cancel
    QStringList startPaths;
    QStringList kinds;  // "open" or "save", one per dialog shown

    std::optional<QString> openFileName(QWidget *, const QString &startPath) override {
        return next(QStringLiteral("open"), startPath);
    }
    std::optional<QString> saveFileName(QWidget *, const QString &startPath) override {
        return next(QStringLiteral("save"), startPath);
    }

private:
    std::optional<QString> next(const QString &kind, const QString &startPath) {
        kinds.append(kind);
        startPaths.append(startPath);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};

// Message boxes that are recorded instead of shown, and questions answered by a script.
class RecordingMessages final : public MessageService {
public:
    struct Shown {
        Icon icon;
        QString title;
        QString text;
        QWidget *parent;
        bool overShownWindow;  // the window it belongs to was on the screen
    };
    QList<Shown> shown;
    QList<Answer> answers;  // 不保存 once none is left
    QList<Shown> asked;

    void show(QWidget *parent, Icon icon, const QString &title, const QString &text) override {
        shown.append({icon, title, text, parent, isOnScreen(parent)});
    }
    Answer askToSave(QWidget *parent, const QString &title, const QString &text) override {
        asked.append({Icon::Warning, title, text, parent, isOnScreen(parent)});
        return answers.isEmpty() ? Answer::Discard : answers.takeFirst();
    }

private:
    static bool isOnScreen(QWidget *window) {
        return window && window->windowHandle() && window->windowHandle()->isExposed();
    }
};

Q_DECLARE_METATYPE(MessageService::Answer)
