#pragma once

#include <QtGlobal>
#include <chrono>

// A bar on standard error that shows how many pages are done, for a person waiting at a
// terminal. It shows only once a run has taken about a second, so that quick runs print nothing
// but their result, and never when standard error is not a terminal, so that logs stay clean.
// It always fits on one line of the terminal, however narrow, dropping the bar and then the
// words where they do not fit, so that redrawing it never leaves a line behind.
class ProgressBar {
public:
    explicit ProgressBar(bool wanted);

    void show(qsizetype done, qsizetype total);
    // Takes the bar away, before another line goes to standard error and at the end.
    void clear();

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
};
