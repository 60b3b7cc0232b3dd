#pragma once

#include <QString>

#include "cli/page_outcome.h"

// The totals of a run, and the one line that tells them at its end. Every file counts once, as
// done, as needing nothing, or as failed, so the three add up to the files.
class RunSummary {
public:
    // What a run does to a page that its compression changes; the words of the line follow it.
    enum class Effect {
        Rewrite,  // replaces the page in place
        Write,    // writes another file, or standard output
        Check,    // nothing: only tells whether it would change
    };

    explicit RunSummary(Effect effect) : effect_(effect) {}

    void add(const PageOutcome &outcome);
    // A folder that could not be read: a failure, though no file.
    void addUnreadableFolder() { ++unreadableFolders_; }

    // Files, how many were done, needed nothing and failed, bytes before and after, share saved.
    QString line() const;
    int exitStatus() const;

private:
    Effect effect_;
    qint64 files_ = 0;
    qint64 done_ = 0;
    qint64 failed_ = 0;
    qint64 unreadableFolders_ = 0;
    qint64 before_ = 0;
    qint64 after_ = 0;
};
