#pragma once

#include <QIdentityProxyModel>

// The file list of the file dialogs, with its sizes and dates in the application's language.
// Qt's file model writes them in the language of the system's locale, whatever language the
// application has chosen, so on most machines they would come out in English.
class LocalizedFileListModel : public QIdentityProxyModel {
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override;
};
