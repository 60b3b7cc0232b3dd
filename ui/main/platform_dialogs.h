#pragma once

#include <QString>
#include <optional>

class QWidget;

// The platform's file dialogs and message boxes: everything the main window asks the user
// through windows of the platform's own. Each call returns once its window is dismissed. The
// window tests stand in for it with scripted answers.
class PlatformDialogs {
public:
    enum class Icon { None, Warning };
    enum class Answer { Save, Discard, Cancel };

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
};
