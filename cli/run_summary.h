#pragma once

#include <QString>

#include "cli/page_outcome.h"

// The totals of a run, and the one line that tells them at its end.
class RunSummary {
public:
    explicit RunSummary(bool checkOnly) : checkOnly_(checkOnly) {}

    void add(const PageOutcome &outcome);
    // A folder that could not be read: a failure that is no page.
    void addFailure() { ++failed_; }

    // Files, how many changed (or would change) and failed, bytes before and after, share saved.
    QString line() const;
    int exitStatus() const;

private:
    bool checkOnly_;
    qint64 files_ = 0;
    qint64 changed_ = 0;
    qint64 failed_ = 0;
    qint64 before_ = 0;
    qint64 after_ = 0;
};
