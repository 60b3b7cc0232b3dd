#include "ui/main/qt_file_dialog_service.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

#include "ui/main/localized_file_list_model.h"
#include "ui/window_placement.h"

namespace {

// Room for a file's size, type and date in Chinese beside a long name; Qt's own widths cut them.
void widenColumns(QFileDialog &dialog) {
    const int line = dialog.fontMetrics().height();
    dialog.resize(dialog.sizeHint().expandedTo(QSize(50 * line, 28 * line)));
    if (auto *list = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        QHeaderView *header = list->header();
        header->resizeSection(0, 18 * line);
        header->resizeSection(1, 6 * line);
        header->resizeSection(2, 8 * line);
        header->resizeSection(3, 9 * line);
    }
}

std::optional<QString> runDialog(QWidget *parent, QFileDialog::AcceptMode mode,
                                 const QString &startPath) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // Any name is taken as typed: no must-exist check, no default extension, no overwrite
    // question. Qt's own dialog rather than the desktop's, so that it speaks the application's
    // language and not the desktop's.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setProxyModel(new LocalizedFileListModel(&dialog));
    widenColumns(dialog);
    if (parent) centreOn(dialog, *parent->window());
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
