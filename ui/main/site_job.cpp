#include "ui/main/site_job.h"

#include <QDir>
#include <QThread>
#include <memory>
#include <set>

#include "core/browser/browser_error.h"
#include "core/browser/page_verifier.h"
#include "core/files/file_error_text.h"
#include "core/site/folder_walk.h"
#include "core/site/page_compressor.h"
#include "core/site/page_outcome.h"
#include "core/site/render_check.h"
#include "core/site/run_pace.h"
#include "core/site/site_copy.h"

namespace {

// Each page that changes gets this long in the browser, and so does the browser's start.
constexpr int kVerifySeconds = 60;

// Counts what the compressor reports into the summary, and tells the window how far it is.
class SiteReport final : public CompressionReport {
public:
    SiteReport(SiteJob &job, const std::vector<PageJob> &jobs, SiteSummary &summary)
        : job_(job), jobs_(jobs), summary_(summary), pace_(qsizetype(jobs.size())) {}

    void page(const PageJob &job, const PageOutcome &outcome) override;
    // The names of the pages that were begun, skipped or not.
    qint64 begun() const { return begun_; }
    void progress(qsizetype done) override {
        const qsizetype next = reported_ < qsizetype(jobs_.size()) ? reported_ : reported_ - 1;
        emit job_.progressed(done, qsizetype(jobs_.size()),
                             next >= 0 ? nameOf(jobs_[next].source) : QString(),
                             pace_.text(done, RunPace::Clock::now(), QStringLiteral("个网页")));
    }
    void unsyncedFolder(const QString &folder, const FileError &why) override {
        ++summary_.unsyncedFolders;
        summary_.details.append(cannotSyncFolderText(folder) + u'：' + fileErrorText(why));
    }

private:
    QString nameOf(const QString &path) const {
        return QDir::toNativeSeparators(QDir(job_.task().folder).relativeFilePath(path));
    }

    SiteJob &job_;
    const std::vector<PageJob> &jobs_;
    SiteSummary &summary_;
    qsizetype reported_ = 0;
    qint64 begun_ = 0;
    std::set<QString> unreadSheets_;  // named already
    RunPace pace_;
};

void SiteReport::page(const PageJob &job, const PageOutcome &outcome) {
    ++reported_;
    if (outcome.notBegun) return;
    const qint64 names = 1 + job.otherNames.size();
    begun_ += names;
    QStringList &details = summary_.details;
    if (outcome.skipped) {
        details.append(skippedLinkText(job.source, outcome.linkTarget));
        return;
    }
    summary_.pages += names;
    if (outcome.failure) {
        summary_.failed += names;
        details.append(pageFailureText(*outcome.failure));
        return;
    }
    if (outcome.left) {
        const bool differs = outcome.left->kind == RenderVerdict::Kind::Differs;
        (differs ? summary_.lookDifferent : summary_.unchecked) += names;
        details.append(leftPageText(job.source, *outcome.left, kVerifySeconds));
        // A copy of the site holds the page as it is.
        if (job.output == PageOutput::Mirror) {
            const CopyOutcome copied = copyOtherFile({job.source, job.target}, job.within);
            if (copied.failure) details.append(pageFailureText(*copied.failure));
        }
    } else {
        (outcome.changed ? summary_.compressed : summary_.unchanged) += names;
    }
    summary_.before += names * outcome.sizeBefore;
    summary_.after += names * outcome.sizeAfter;
    for (const UnreadStyleSheet &sheet : outcome.unreadSheets) {
        if (!unreadSheets_.insert(sheet.name).second) continue;
        details.append(unreadSheetText(sheet));
    }
    if (!outcome.lostAttributes.isEmpty()) {
        const QString &file = job.output == PageOutput::InPlace ? job.source : job.target;
        details.append(cannotKeepAttributesText(file) + u'：' +
                       lostAttributesText(outcome.lostAttributes));
    }
}

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
    thread_.reset(QThread::create([this] {
        run();
        finished_ = true;
        emit finished();
    }));
    thread_->start();
}

void SiteJob::wait() {
    if (thread_) thread_->wait();
}

void SiteJob::run() {
    PageSearch search;
    search.paths = task_.paths;
    search.output = task_.copy.isEmpty() ? PageOutput::InPlace : PageOutput::Mirror;
    search.outputPath = task_.copy;
    const auto planned = planJobs(search);
    if (const auto *refusal = std::get_if<PlanRefusal>(&planned)) {
        summary_.refusal = refusal->reason;
        forgetCopy();
        return;
    }
    const JobPlan &plan = std::get<JobPlan>(planned);
    summary_.unreadableFolders = qint64(plan.unreadableFolders.size());
    for (const FolderFailure &failure : plan.unreadableFolders)
        summary_.details.append(cannotOpenText(failure.folder) + u'：' +
                                fileErrorText(failure.why));
    for (const QString &path : plan.leftovers) summary_.details.append(leftoverFileText(path));
    compressPages(plan);
}

// A job that writes nothing leaves no empty folder behind.
void SiteJob::forgetCopy() {
    if (!task_.copy.isEmpty()) QDir().rmdir(task_.copy);
}

void SiteJob::copyOtherFiles() {
    // Only a folder is copied whole; pages dropped together go into the new folder alone.
    if (task_.paths.size() != 1 || task_.paths.first() != task_.folder) return;
    const OtherFiles others = otherFilesOf(task_.folder, kPageExtensions, task_.copy);
    // The folders the page finder could not read are named already.
    for (const FolderFailure &failure : others.unreadableFolders) {
        const QString line = cannotOpenText(failure.folder) + u'：' + fileErrorText(failure.why);
        if (summary_.details.contains(line)) continue;
        ++summary_.unreadableFolders;
        summary_.details.append(line);
    }
    for (const QString &folder : others.folders) {
        const Result<Done> made = makeFolders(folder);
        if (const auto *error = std::get_if<FileError>(&made))
            summary_.details.append(cannotSaveText(folder) + u'：' + fileErrorText(*error));
    }
    const QString within = resolvedPath(task_.folder);
    for (const OtherFile &file : others.files) {
        if (cancelled_) return;
        emit progressed(
            0, 0, QDir::toNativeSeparators(QDir(task_.folder).relativeFilePath(file.source)), {});
        const CopyOutcome copied = copyOtherFile(file, within);
        if (copied.failure) {
            ++summary_.otherFilesFailed;
            summary_.details.append(pageFailureText(*copied.failure));
        }
    }
}

void SiteJob::compressPages(const JobPlan &plan) {
    CompressionRun run;
    run.threads = QThread::idealThreadCount();
    run.level = task_.level;
    run.stopped = [this] { return cancelled_.load(); };
    run.compares = true;
    std::unique_ptr<RenderCheck> check;
    // The browser starts before anything is written, so that a job without one writes nothing.
    if (!task_.browser.isEmpty()) {
        VerifierSettings settings;
        settings.browser = task_.browser;
        settings.tabs = run.threads;
        settings.seconds = kVerifySeconds;
        settings.interrupted = run.stopped;
        auto started = PageVerifier::start(std::move(settings));
        if (const auto *error = std::get_if<BrowserError>(&started)) {
            if (error->kind != BrowserError::Kind::Interrupted)
                summary_.refusal = browserErrorText(*error);
            forgetCopy();
            summary_.cancelled = cancelled_;
            for (const PageJob &job : plan.jobs) summary_.untouched += 1 + job.otherNames.size();
            return;
        }
        check = std::make_unique<RenderCheck>(
            std::move(std::get<std::unique_ptr<PageVerifier>>(started)), run.threads);
        run.check = check.get();
    }
    if (!task_.copy.isEmpty()) copyOtherFiles();
    SiteReport report(*this, plan.jobs, summary_);
    compressAll(plan.jobs, run, report);
    qint64 names = 0;
    for (const PageJob &job : plan.jobs) names += 1 + job.otherNames.size();
    summary_.untouched = names - report.begun();
    // 取消 that came when every page was under way already stopped nothing.
    summary_.cancelled = cancelled_ && summary_.untouched > 0;
    if (check && check->gaveUp())
        summary_.details.append(QStringLiteral("浏览器又一次意外退出，核对停止了。"));
}
