#pragma once

#include <QObject>
#include <QString>
#include <optional>

class PlatformDialogs;
class QWidget;

// The one file dialog component that the Open and the Save command share. It remembers the last
// file name that a command kept, and the next dialog, Open or Save, starts with it.
class CommonDialog : public QObject {
    Q_OBJECT

public:
    CommonDialog(PlatformDialogs &dialogs, QObject *parent);

    // The chosen full path, or nullopt when the user cancelled. The choice is not kept until the
    // command that asked for it calls setFileName(). A Save dialog shown again for a name the user
    // would not replace starts with that name instead of the kept one.
    std::optional<QString> showOpen(QWidget *parent);
    std::optional<QString> showSave(QWidget *parent, const std::optional<QString> &again = {});

    QString fileName() const { return fileName_; }
    void setFileName(const QString &path) { fileName_ = path; }

private:
    PlatformDialogs &dialogs_;
    QString fileName_;
};
