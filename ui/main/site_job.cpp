#include "ui/main/site_job.h"

#include <QDir>
#include <QThread>
#include <optional>

#include "core/browser/browser_error.h"
#include "core/site/run_pace.h"
#include "core/site/site_run.h"

namespace {

// Keeps what the run tells in the summary, and tells the window how far it is.
class SiteView final : public SiteRunView {
public:
    SiteView(SiteJob &job, SiteSummary &summary) : job_(job), summary_(summary) {}

    void detail(const QString &line) override { summary_.details.append(line); }
    void progress(qsizetype done, qsizetype total, const QString &current) override {
        // The pace goes from the first pages on, not from the browser's start or the copies.
        if (total > 0 && !pace_) pace_.emplace(total);
        const QString pace =
            pace_ ? pace_->text(done, RunPace::Clock::now(), QStringLiteral("个网页")) : QString();
        emit job_.progressed(done, total, current.isEmpty() ? QString() : nameOf(current), pace);
    }

private:
    QString nameOf(const QString &path) const {
        return QDir::toNativeSeparators(QDir(job_.task().folder).relativeFilePath(path));
    }

    SiteJob &job_;
    SiteSummary &summary_;
    std::optional<RunPace> pace_;
};

QString sizeText(qint64 bytes) {
    return QStringLiteral("%1 字节").arg(bytes);
}

}  // namespace

QString summaryText(const SiteSummary &summary) {
    if (!summary.refusal.isEmpty()) return QStringLiteral("什么也没做：") + summary.refusal;
    QString text;
    if (summary.cancelled)
        text += QStringLiteral("已取消，还有 %1 个网页没有处理。").arg(summary.untouched);
    text += QStringLiteral("已处理 %1 个网页：%2 个已压缩，%3 个无需改动，%4 个失败。")
                .arg(summary.pages)
                .arg(summary.compressed)
                .arg(summary.unchanged)
                .arg(summary.failed);
    if (summary.lookDifferent > 0)
        text += QStringLiteral("%1 个在浏览器中显示会变，保持原样。").arg(summary.lookDifferent);
    if (summary.unchecked > 0)
        text += QStringLiteral("%1 个无法在浏览器中核对，保持原样。").arg(summary.unchecked);
    if (summary.otherFilesFailed > 0)
        text += QStringLiteral("另有 %1 个其他文件没能复制。").arg(summary.otherFilesFailed);
    if (summary.unreadableFolders > 0)
        text += QStringLiteral("%1 个文件夹无法读取。").arg(summary.unreadableFolders);
    if (summary.unsyncedFolders > 0)
        text += QStringLiteral("%1 个文件夹无法同步。").arg(summary.unsyncedFolders);
    text += u'\n' + sizeText(summary.before) + QStringLiteral(" → ") + sizeText(summary.after);
    // A lone CR becomes CR LF and a last line gains its line end, so a page can also grow.
    const double share =
        summary.before > 0 ? 100.0 * double(summary.before - summary.after) / double(summary.before)
                           : 0.0;
    text += share >= 0 ? QStringLiteral("，节省 %1%。").arg(share, 0, 'f', 1)
                       : QStringLiteral("，增加 %1%。").arg(-share, 0, 'f', 1);
    return text;
}

SiteJob::SiteJob(SiteTask task, QObject *parent) : QObject(parent), task_(std::move(task)) {}

SiteJob::~SiteJob() {
    cancel();
    wait();
}

void SiteJob::start() {
    thread_ = std::jthread([this] {
        run();
        finished_ = true;
        emit finished();
    });
}

void SiteJob::wait() {
    if (thread_.joinable()) thread_.join();
}

void SiteJob::run() {
    SiteRequest request;
    request.search.paths = task_.paths;
    request.search.output = task_.copy.isEmpty() ? PageOutput::InPlace : PageOutput::Mirror;
    request.search.outputPath = task_.copy;
    request.level = task_.level;
    request.threads = QThread::idealThreadCount();
    request.compares = true;
    request.browser = task_.browser;
    // Only a folder is copied whole; pages dropped together go into the new folder alone.
    if (!task_.copy.isEmpty() && task_.paths == QStringList{task_.folder})
        request.copiedFolder = task_.folder;
    request.stopped = [this] { return cancelled_.load(); };

    SiteView view(*this, summary_);
    const auto ran = runSite(request, view);
    if (const auto *refusal = std::get_if<SiteRefusal>(&ran)) {
        if (refusal->plan) summary_.refusal = refusal->plan->reason;
        if (refusal->browser && refusal->browser->kind != BrowserError::Kind::Interrupted)
            summary_.refusal = browserErrorText(*refusal->browser);
        summary_.untouched = refusal->untouched;
        summary_.cancelled = cancelled_;
        // A job that writes nothing leaves no empty folder behind.
        if (!task_.copy.isEmpty()) QDir().rmdir(task_.copy);
        return;
    }
    const SiteTally &tally = std::get<SiteTally>(ran);
    summary_.pages = tally.files;
    summary_.compressed = tally.changed;
    summary_.unchanged = tally.unchanged();
    summary_.failed = tally.failed;
    summary_.lookDifferent = tally.lookDifferent;
    summary_.unchecked = tally.unchecked;
    summary_.untouched = tally.untouched;
    summary_.otherFilesFailed = tally.otherFilesFailed;
    summary_.unreadableFolders = tally.unreadableFolders;
    summary_.unsyncedFolders = tally.unsyncedFolders;
    summary_.before = tally.before;
    summary_.after = tally.after;
    // 取消 that came when every page was under way already stopped nothing.
    summary_.cancelled = cancelled_ && tally.untouched > 0;
    if (tally.browserGaveUp)
        summary_.details.append(QStringLiteral("浏览器又一次意外退出，核对停止了。"));
}
