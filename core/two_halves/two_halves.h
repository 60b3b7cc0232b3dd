#pragma once

#include <QScopeGuard>
#include <QThread>
#include <QtGlobal>
#include <memory>

// Work on a big page done in two halves at once, on two cores. Below this size a second thread
// costs more than it saves, and most pages people have are far below it.
inline constexpr qsizetype kTwoCoresFrom = qsizetype{1} << 20;

// Runs first and second, at once on two threads for work of size bytes or more, one after the
// other for less or where no thread can be had. Both have run when it returns. The second runs on
// a thread of Qt's own, as every thread of the program does.
template <typename First, typename Second>
void inTwoHalves(qsizetype size, First &&first, Second &&second) {
    if (size < kTwoCoresFrom) {
        first();
        second();
        return;
    }
    const std::unique_ptr<QThread> other(QThread::create([&second] { second(); }));
    other->start();
    if (!other->isRunning() && !other->isFinished()) {
        first();
        second();
        return;
    }
    // Waited for even where first throws, since second works on the same page.
    const auto joined = qScopeGuard([&other] { other->wait(); });
    first();
}
