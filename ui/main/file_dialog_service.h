#pragma once

#include <QString>
#include <optional>

class QWidget;

// The platform's Open and Save dialogs. Both list all files, start with startPath filled in, and
// return the chosen full path, or nullopt when the user cancelled.
class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual std::optional<QString> openFileName(QWidget *parent, const QString &startPath) = 0;
    virtual std::optional<QString> saveFileName(QWidget *parent, const QString &startPath) = 0;
};
