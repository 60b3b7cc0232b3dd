#include "paint_watch.h"

#include <Qsci/qsciscintillabase.h>
#include <QEventLoop>
#include <QTimer>
#include <stdexcept>

namespace {
constexpr int kPatienceMs = 60'000;
}

PaintWatch::PaintWatch(QsciScintillaBase &editor) : editor_(editor) {
    // Scintilla reports the end of every paint it makes.
    QObject::connect(&editor_, &QsciScintillaBase::SCN_PAINTED, &editor_,
                     [this] { painted_ = true; });
}

void PaintWatch::wait() {
    if (painted_) return;
    QEventLoop loop;
    QObject::connect(&editor_, &QsciScintillaBase::SCN_PAINTED, &loop, &QEventLoop::quit);
    QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!painted_) throw std::runtime_error("the editor did not paint");
}
