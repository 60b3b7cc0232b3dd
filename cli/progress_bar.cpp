#include "cli/progress_bar.h"

#include <unistd.h>
#include <QByteArray>
#include <cstdio>

namespace {

constexpr auto kQuietTime = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kWidth = 30;

}  // namespace

ProgressBar::ProgressBar(bool wanted)
    : enabled_(wanted && ::isatty(STDERR_FILENO)), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::show(qsizetype done, qsizetype total) {
    if (!enabled_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietTime || (shown_ && now - lastDrawn_ < kRedrawEvery)) return;
    const auto filled = static_cast<int>(kWidth * done / total);
    const QByteArray bar = QByteArray(filled, '#') + QByteArray(kWidth - filled, '-');
    std::fprintf(stderr, "\r[%s] %lld/%lld 个文件", bar.constData(), static_cast<long long>(done),
                 static_cast<long long>(total));
    std::fflush(stderr);
    shown_ = true;
    lastDrawn_ = now;
}

void ProgressBar::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}
