#include "ui/main/qt_file_dialog_service.h"

#include <QFileDialog>

namespace {

std::optional<QString> runDialog(QWidget *parent, QFileDialog::AcceptMode mode,
                                 const QString &startPath) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // Any name is taken as typed: no must-exist check, no default extension, no overwrite
    // question. Qt's own dialog rather than the desktop's, so that it speaks the application's
    // language and not the desktop's.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    if (!startPath.isEmpty()) dialog.selectFile(startPath);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

}  // namespace

std::optional<QString> QtFileDialogService::openFileName(QWidget *parent,
                                                         const QString &startPath) {
    return runDialog(parent, QFileDialog::AcceptOpen, startPath);
}

std::optional<QString> QtFileDialogService::saveFileName(QWidget *parent,
                                                         const QString &startPath) {
    return runDialog(parent, QFileDialog::AcceptSave, startPath);
}
