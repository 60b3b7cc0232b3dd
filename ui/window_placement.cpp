#include "ui/window_placement.h"

#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// Moves rect the least it takes to lie within bounds, as far as it fits.
QRect keptWithin(QRect rect, const QRect &bounds) {
    rect.moveRight(qMin(rect.right(), bounds.right()));
    rect.moveBottom(qMin(rect.bottom(), bounds.bottom()));
    rect.moveLeft(qMax(rect.left(), bounds.left()));
    rect.moveTop(qMax(rect.top(), bounds.top()));
    return rect;
}

}  // namespace

void centreOn(QWidget &window, const QWidget &other) {
    const QRect otherFrame = other.frameGeometry();
    const QPoint clientOffset = other.geometry().topLeft() - otherFrame.topLeft();
    QRect frame(QPoint(), window.size() + (otherFrame.size() - other.size()));
    frame.moveCenter(otherFrame.center());
    if (const QScreen *screen = other.screen())
        frame = keptWithin(frame, screen->availableGeometry());
    window.setGeometry(QRect(frame.topLeft() + clientOffset, window.size()));
}

void showAt(QWidget &window, QPoint place) {
    // QWidget::setGeometry() to where the widget still stands is no request at all, and a window
    // shown again without one is placed anew.
    if (QWindow *handle = window.windowHandle())
        handle->setPosition(place);
    else
        window.setGeometry(QRect(place, window.size()));
    window.show();
}
