#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <optional>

// How fast a run over many pages goes, and how long it still takes, in the words both programs
// show while they work: zerediz-compress on its progress line, the window in its progress dialog.
// The pace is the pages done over the time since the first page was begun; the time left is what
// the pages still to do take at that pace. Neither is said before the run has gone long enough
// for them to mean something.
class RunPace {
public:
    using Clock = std::chrono::steady_clock;

    RunPace(qsizetype total, Clock::time_point start) : total_(total), start_(start) {}
    explicit RunPace(qsizetype total) : RunPace(total, Clock::now()) {}

    // Pages per second, and the seconds left; none until they can be told.
    struct Estimate {
        double pagesPerSecond = 0;
        double secondsLeft = 0;
    };
    std::optional<Estimate> estimate(qsizetype done, Clock::time_point now) const;

    // "每秒 6.2 个，剩余约 3 分钟" (unit names what is counted: "个" or "个网页"); empty until
    // there is an estimate.
    QString text(qsizetype done, Clock::time_point now, const QString &unit) const;

private:
    qsizetype total_;
    Clock::time_point start_;
};

// A rate of pages per second as the progress shows it: "6.2", "1200", "0.62".
QString paceNumberText(double pagesPerSecond);
// A time left as the progress shows it: "剩余约 40 秒", "剩余约 3 分钟", "剩余约 1 小时 5 分钟".
QString timeLeftText(double seconds);
