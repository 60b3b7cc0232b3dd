#include "ui/main/platform_dialogs.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

#include "ui/window_placement.h"

namespace {

// The file list of the file dialogs, with its sizes and dates in the application's language.
// Qt's file model writes them in the language of the system's locale, whatever language the
// application has chosen, so on most machines they would come out in English.
class LocalizedFileListModel : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override {
        // The columns of QFileSystemModel.
        enum Column { kName, kSize, kType, kDateModified };
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
            case kSize:
                if (files->isDir(source)) return QString();
                return QLocale().formattedDataSize(files->size(source));
            case kDateModified:
                return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
            default:
                return QIdentityProxyModel::data(index, role);
        }
    }
};

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

std::optional<QString> runFileDialog(QWidget *parent, QFileDialog::AcceptMode mode,
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

// A box is as wide as its text needs, and a short text leaves a window manager too little room
// for the title. Window managers draw titles in bold, and beside them an icon and up to three
// buttons with gaps around each; openbox shows a (dead) maximise button beside the minimise
// button of every window that has one, and cut "Zerediz" short in a box a line height narrower.
void makeRoomForTitle(QMessageBox &box, const QString &title) {
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid) return;
    QFont bold = box.font();
    bold.setBold(true);
    const int width =
        QFontMetrics(bold).horizontalAdvance(title) + 7 * QFontMetrics(box.font()).height();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// A message box takes its size only as it is shown, after Qt has placed it; Qt's own place is a
// title bar's height too high under some window managers, and in a corner of the screen while
// the window it belongs to has not been placed yet.
class CentredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override {
        QMessageBox::showEvent(event);
        if (QWidget *owner = parentWidget()) centreOn(*this, *owner->window());
    }
};

}  // namespace

std::optional<QString> QtPlatformDialogs::openFileName(QWidget *parent, const QString &startPath) {
    return runFileDialog(parent, QFileDialog::AcceptOpen, startPath);
}

std::optional<QString> QtPlatformDialogs::saveFileName(QWidget *parent, const QString &startPath) {
    return runFileDialog(parent, QFileDialog::AcceptSave, startPath);
}

void QtPlatformDialogs::showMessage(QWidget *parent, Icon icon, const QString &title,
                                    const QString &text) {
    CentredMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                          text, QMessageBox::Ok, parent);
    makeRoomForTitle(box, title);
    box.exec();
}

PlatformDialogs::Answer QtPlatformDialogs::askToSave(QWidget *parent, const QString &title,
                                                     const QString &text) {
    CentredMessageBox box(QMessageBox::Warning, title, text,
                          QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    // Qt's own translation calls the second one "丢弃", and only where its catalogue is installed.
    box.button(QMessageBox::Save)->setText(QStringLiteral("保存"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("不保存"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    makeRoomForTitle(box, title);
    switch (box.exec()) {
        case QMessageBox::Save:
            return Answer::Save;
        case QMessageBox::Discard:
            return Answer::Discard;
        default:
            return Answer::Cancel;
    }
}

bool QtPlatformDialogs::askToReplace(QWidget *parent, const QString &title, const QString &text) {
    CentredMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No,
                          parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    makeRoomForTitle(box, title);
    return box.exec() == QMessageBox::Yes;
}
