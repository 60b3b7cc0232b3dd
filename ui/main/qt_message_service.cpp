#include "ui/main/qt_message_service.h"

#include <QMessageBox>

void QtMessageService::show(QWidget *parent, Icon icon, const QString &title, const QString &text) {
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
                    QMessageBox::Ok, parent);
    box.exec();
}
