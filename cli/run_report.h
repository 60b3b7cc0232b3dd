#pragma once

#include <QString>
#include <chrono>
#include <optional>

#include "cli/command_line.h"
#include "core/site/run_pace.h"
#include "core/site/site_run.h"

// A bar on standard error that shows how many pages are done, and once it can tell, how fast and
// how long the rest takes, for a person waiting at a terminal. It shows only once a run has taken
// about a second, so that quick runs print nothing but their result, and never when standard
// error is not a terminal, so that logs stay clean. It always fits on one line of the terminal,
// however narrow, dropping the bar, then the pace, the time left and the words where they do not
// fit, so that redrawing it never leaves a line behind.
class ProgressBar {
public:
    explicit ProgressBar(bool wanted);

    void show(qsizetype done, qsizetype total);
    // Takes the bar away, before another line goes to standard error and at the end.
    void clear();

private:
    bool enabled_;
    bool shown_ = false;
    std::optional<RunPace> pace_;  // from the first pages' progress on
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
};

// What a run tells, as it goes and at its end. Each line worth a word as it is known, on standard
// error; a page that would change on standard output for --check, one name a line. At the end,
// the summary line (not with --quiet), and the exit status. Every file counts once, as done, as
// needing nothing, as left or as failed, so they add up to the files; the outcome of a page counts
// for each of its names.
class RunReport final : public SiteRunView {
public:
    explicit RunReport(const CompressRequest &request);

    void detail(const QString &line) override;
    void page(const PageJob &job, const PageOutcome &outcome) override;
    void progress(qsizetype done, qsizetype total, const QString &current) override;

    // Tells how the run ended, stopped by signal unless that is 0, and answers the exit status.
    int finish(const SiteTally &tally, int signal);

private:
    // What a run does to a page that its compression changes; the words of the summary follow it.
    enum class Effect {
        Rewrite,  // replaces the page in place
        Write,    // writes another file, or standard output
        Check,    // nothing: only tells whether it would change
    };

    static Effect effectOf(const CompressRequest &request);
    QString summary(const SiteTally &tally) const;
    qint64 done(const SiteTally &tally) const;

    Effect effect_;
    bool mirror_;  // pages go into --output-dir, those left as they are too
    bool quiet_;
    char nameEnd_;  // what follows each name that --check lists
    ProgressBar bar_;
};
