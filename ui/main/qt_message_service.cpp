#include "ui/main/qt_message_service.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

#include "ui/window_placement.h"

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

void QtMessageService::show(QWidget *parent, Icon icon, const QString &title, const QString &text) {
    CentredMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                          text, QMessageBox::Ok, parent);
    makeRoomForTitle(box, title);
    box.exec();
}

MessageService::Answer QtMessageService::askToSave(QWidget *parent, const QString &title,
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
