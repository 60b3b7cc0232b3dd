#include "ui/main/localized_file_list_model.h"

#include <QFileSystemModel>
#include <QLocale>

namespace {

// The columns of QFileSystemModel.
enum Column { kName, kSize, kType, kDateModified };

}  // namespace

QVariant LocalizedFileListModel::data(const QModelIndex &index, int role) const {
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
