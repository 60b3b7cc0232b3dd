#include "core/site/run_pace.h"

#include <algorithm>
#include <cmath>

namespace {

// The least time a run has gone before its pace is told: the first pages, and for the browser's
// check the tabs being opened, say little about the rest.
constexpr auto kSettling = std::chrono::seconds(3);

}  // namespace

std::optional<RunPace::Estimate> RunPace::estimate(qsizetype done, Clock::time_point now) const {
    const std::chrono::duration<double> elapsed = now - start_;
    if (done <= 0 || done >= total_ || now - start_ < kSettling) return std::nullopt;
    const double pace = double(done) / elapsed.count();
    return Estimate{pace, double(total_ - done) / pace};
}

QString RunPace::text(qsizetype done, Clock::time_point now, const QString &unit) const {
    const auto known = estimate(done, now);
    if (!known) return {};
    return QStringLiteral("每秒 %1 %2，%3")
        .arg(paceNumberText(known->pagesPerSecond), unit, timeLeftText(known->secondsLeft));
}

QString paceNumberText(double pagesPerSecond) {
    // Two figures that mean something, whatever the pace.
    const int decimals = pagesPerSecond >= 10 ? 0 : pagesPerSecond >= 1 ? 1 : 2;
    return QString::number(pagesPerSecond, 'f', decimals);
}

QString timeLeftText(double seconds) {
    // Rounded so that the words stay put between redraws: up to five seconds below a minute, to
    // the minute above.
    const int fives = std::max(5, int(std::ceil(seconds / 5)) * 5);
    if (fives < 60) return QStringLiteral("剩余约 %1 秒").arg(fives);
    const long minutes = std::max(1L, std::lround(seconds / 60));
    if (minutes < 60) return QStringLiteral("剩余约 %1 分钟").arg(minutes);
    if (minutes % 60 == 0) return QStringLiteral("剩余约 %1 小时").arg(minutes / 60);
    return QStringLiteral("剩余约 %1 小时 %2 分钟").arg(minutes / 60).arg(minutes % 60);
}
