#pragma once

#include <QList>
#include <QString>
#include <chrono>
#include <optional>
#include <set>
#include <vector>

#include "cli/command_line.h"
#include "core/files/file_error.h"
#include "core/site/page_compressor.h"
#include "core/site/page_finder.h"
#include "core/site/page_outcome.h"
#include "core/site/run_pace.h"

// A bar on standard error that shows how many pages are done, and once it can tell, how fast and
// how long the rest takes, for a person waiting at a terminal. It shows only once a run has taken
// about a second, so that quick runs print nothing but their result, and never when standard
// error is not a terminal, so that logs stay clean. It always fits on one line of the terminal,
// however narrow, dropping the bar, then the pace, the time left and the words where they do not
// fit, so that redrawing it never leaves a line behind.
class ProgressBar {
public:
    ProgressBar(bool wanted, qsizetype total);

    void show(qsizetype done, qsizetype total);
    // Takes the bar away, before another line goes to standard error and at the end.
    void clear();

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    RunPace pace_;
    std::chrono::steady_clock::time_point lastDrawn_;
};

// What a run tells, as it goes and at its end. Each result as it is known: a failure on standard
// error, a page that would change on standard output for --check, one name a line; a style sheet
// that a page links and that could not be read, once for the whole run, on standard error, though
// no failure: the page is compressed as the window compresses it, without that sheet. At the end,
// the summary line (not with --quiet), and the exit status. Every file counts once, as done, as
// needing nothing, or as failed, so the three add up to the files; the outcome of a page counts
// for each of its names.
class RunReport final : public CompressionReport {
public:
    RunReport(const CompressRequest &request, const std::vector<PageJob> &jobs);

    void page(const PageJob &job, const PageOutcome &outcome) override;
    // A folder that could not be read: a failure, though no file.
    void unreadableFolder(const FolderFailure &failure);
    // A folder whose new files may not survive a power cut: a failure, though no file.
    void unsyncedFolder(const QString &folder, const FileError &why) override;
    // A temporary file that a killed save left behind, left where it is: no failure.
    void leftover(const QString &path);
    void progress(qsizetype done) override { bar_.show(done, jobs_); }

    // The browser of --verify ended a second time, and the run stopped: no failure of a file, but
    // of the run.
    void browserGaveUp() { browserGaveUp_ = true; }

    // Tells how the run ended, stopped by signal unless that is 0, and answers the exit status.
    int finish(int signal);

private:
    // What a run does to a page that its compression changes; the words of the summary follow it.
    enum class Effect {
        Rewrite,  // replaces the page in place
        Write,    // writes another file, or standard output
        Check,    // nothing: only tells whether it would change
    };

    static Effect effectOf(const CompressRequest &request);
    void count(const PageOutcome &outcome);
    void notice(const QString &line);
    QString summary() const;

    Effect effect_;
    bool quiet_;
    char nameEnd_;  // what follows each name that --check lists
    ProgressBar bar_;
    qsizetype jobs_;
    qsizetype untouched_ = 0;  // names of the jobs not reported yet
    qint64 files_ = 0;
    qint64 done_ = 0;
    qint64 failed_ = 0;
    qint64 unreadableFolders_ = 0;
    qint64 unsyncedFolders_ = 0;
    qint64 before_ = 0;
    qint64 after_ = 0;
    int verifySeconds_;
    qint64 lookDifferent_ = 0;  // left by --verify
    qint64 unchecked_ = 0;      // left by --verify
    bool browserGaveUp_ = false;
    std::set<QString> unreadSheets_;  // named already
};
