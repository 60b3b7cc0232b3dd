#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <thread>

#include "core/site/page_finder.h"
#include "core/trim/line_trim.h"

// What a site job is asked to do: the pages of a folder, or pages dropped together, compressed in
// place or into a new folder beside them.
struct SiteTask {
    QStringList paths;  // a folder, or pages
    QString folder;     // the folder they are in, named in the question
    // Where a new folder is the target: that folder, made already; empty for in place.
    QString copy;
    QString browser;  // where each changed page is checked first: the browser; empty for none
    TrimLevel level = TrimLevel::Standard;
};

// What became of a site job; each page counts for each of its names.
struct SiteSummary {
    qint64 pages = 0;       // reported
    qint64 compressed = 0;  // changed by its compression, and written
    qint64 unchanged = 0;   // compressed already
    qint64 failed = 0;
    qint64 lookDifferent = 0;  // left as they are by the browser's check
    qint64 unchecked = 0;      // left as they are: the browser could not check them
    qint64 untouched = 0;      // not begun: the job was cancelled first
    qint64 otherFilesFailed = 0;
    qint64 unreadableFolders = 0;  // whose pages were not found
    qint64 unsyncedFolders = 0;    // whose new files may not survive a power cut
    qint64 before = 0;
    qint64 after = 0;
    bool cancelled = false;
    QString refusal;      // why nothing was done at all, where that is so
    QStringList details;  // one line for each failure, page left and other thing worth a word
};

// "已处理 N 个网页：M 个已压缩，K 个无需改动，F 个失败。" and what else the summary says.
QString summaryText(const SiteSummary &summary);

// Runs a site task on a thread of its own, so that the window keeps painting: in a new folder,
// first the files that are no pages are copied, then the pages are compressed as zerediz-compress
// compresses them, in place or with --output-dir. cancel() lets the pages under way finish and
// starts no other: each page is old or new, and no temporary file stays.
class SiteJob : public QObject {
    Q_OBJECT

public:
    explicit SiteJob(SiteTask task, QObject *parent = nullptr);
    // Waits for the job, which must not outlive what it was given.
    ~SiteJob() override;

    void start();
    void cancel() { cancelled_ = true; }
    bool isFinished() const { return finished_; }
    // Waits until the job is finished; then summary() holds what it did.
    void wait();
    const SiteSummary &summary() const { return summary_; }
    const SiteTask &task() const { return task_; }

signals:
    // How many pages are done, of how many, the one under way, and once it can be told how fast
    // they go and how long the rest takes ("每秒 6.2 个网页，剩余约 3 分钟"): from the job's
    // thread.
    void progressed(qsizetype done, qsizetype total, const QString &page, const QString &pace);
    void finished();

private:
    void run();

    const SiteTask task_;
    SiteSummary summary_;  // the job's thread's until it is finished
    std::atomic<bool> cancelled_ = false;
    std::atomic<bool> finished_ = false;
    // Its signals reach the window through queued calls, as the window's objects live on the
    // interface thread.
    std::jthread thread_;
};
