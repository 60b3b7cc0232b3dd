#include "ui/main/qt_message_service.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A box is as wide as its text needs, and a short text leaves a window manager too little room
// for the title: the title bar also holds an icon and up to three buttons of about a line's
// height each.
void makeRoomForTitle(QMessageBox &box, const QString &title) {
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid) return;
    const QFontMetrics metrics(box.font());
    const int width = metrics.horizontalAdvance(title) + 6 * metrics.height();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

void QtMessageService::show(QWidget *parent, Icon icon, const QString &title, const QString &text) {
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
                    QMessageBox::Ok, parent);
    makeRoomForTitle(box, title);
    box.exec();
}

MessageService::Answer QtMessageService::askToSave(QWidget *parent, const QString &title,
                                                   const QString &text) {
    QMessageBox box(QMessageBox::Warning, title, text,
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
