#include "paint_watch.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QWidget>
#include <stdexcept>

namespace {
constexpr int kPatienceMs = 60'000;
}

PaintWatch::PaintWatch(QWidget &widget) {
    widget.installEventFilter(this);
}

// The paint itself runs right after the filter has seen its event, before the loop looks again.
bool PaintWatch::eventFilter(QObject *, QEvent *event) {
    if (event->type() == QEvent::Paint) painted_ = true;
    return false;
}

void PaintWatch::wait() {
    QElapsedTimer waited;
    waited.start();
    while (!painted_) {
        if (waited.elapsed() > kPatienceMs) throw std::runtime_error("the editor did not paint");
        QEventLoop().processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    // What the paint posted (the scroll bars' new range) belongs to it.
    QEventLoop().processEvents();
}
