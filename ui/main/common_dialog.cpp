#include "ui/main/common_dialog.h"

#include "ui/main/platform_dialogs.h"

CommonDialog::CommonDialog(PlatformDialogs &dialogs, QObject *parent)
    : QObject(parent), dialogs_(dialogs) {}

std::optional<QString> CommonDialog::showOpen(QWidget *parent) {
    return dialogs_.openFileName(parent, fileName_);
}

std::optional<QString> CommonDialog::showSave(QWidget *parent,
                                              const std::optional<QString> &again) {
    return dialogs_.saveFileName(parent, again.value_or(fileName_));
}
