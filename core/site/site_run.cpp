#include "core/site/site_run.h"

#include <memory>
#include <set>

#include "core/browser/page_verifier.h"
#include "core/files/file_error_text.h"
#include "core/site/folder_walk.h"
#include "core/site/page_compressor.h"
#include "core/site/render_check.h"
#include "core/site/site_copy.h"

namespace {

qint64 namesOf(const PageJob &job) {
    return 1 + job.otherNames.size();
}

QString unreadableFolderText(const FolderFailure &failure) {
    return cannotOpenText(failure.folder) + u'：' + fileErrorText(failure.why);
}

// Counts what the compressor reports into the tally, and tells the view.
class SiteCounter final : public CompressionReport {
public:
    SiteCounter(const std::vector<PageJob> &jobs, int pageSeconds, SiteTally &tally,
                SiteRunView &view)
        : jobs_(jobs), pageSeconds_(pageSeconds), tally_(tally), view_(view) {}

    void page(const PageJob &job, const PageOutcome &outcome) override;
    void progress(qsizetype done) override {
        // The page under way is the first not reported yet, or the last one at the end.
        const qsizetype total = qsizetype(jobs_.size());
        const qsizetype next = reported_ < total ? reported_ : total - 1;
        view_.progress(done, total, next >= 0 ? jobs_[next].source : QString());
    }
    void unsyncedFolder(const QString &folder, const FileError &why) override {
        ++tally_.unsyncedFolders;
        view_.detail(cannotSyncFolderText(folder) + u'：' + fileErrorText(why));
    }
    // The names of the pages that were begun, skipped or not.
    qint64 begun() const { return begun_; }

private:
    void count(const PageOutcome &outcome, qint64 names);

    const std::vector<PageJob> &jobs_;
    const int pageSeconds_;
    SiteTally &tally_;
    SiteRunView &view_;
    qsizetype reported_ = 0;
    qint64 begun_ = 0;
    std::set<QString> unreadSheets_;  // named already
};

void SiteCounter::page(const PageJob &job, const PageOutcome &outcome) {
    ++reported_;
    if (outcome.notBegun) return;
    begun_ += namesOf(job);
    if (outcome.browserRestarted)
        view_.detail(QStringLiteral(
            "浏览器意外退出了，已重新启动，正在检查的网页重新检查（只会重新启动这一次）"));
    if (outcome.failure)
        view_.detail(pageFailureText(*outcome.failure));
    else if (outcome.left)
        view_.detail(leftPageText(job.source == u'-' ? QStringLiteral("标准输入") : job.source,
                                  *outcome.left, pageSeconds_));
    for (const UnreadStyleSheet &sheet : outcome.unreadSheets) {
        if (unreadSheets_.insert(sheet.name).second) view_.detail(unreadSheetText(sheet));
    }
    if (outcome.skipped) view_.detail(skippedLinkText(job.source, outcome.linkTarget));
    if (!outcome.lostAttributes.isEmpty()) {
        const QString &file = job.output == PageOutput::InPlace ? job.source : job.target;
        view_.detail(cannotKeepAttributesText(file) + u'：' +
                     lostAttributesText(outcome.lostAttributes));
    }
    if (!outcome.skipped) count(outcome, namesOf(job));
    view_.page(job, outcome);
}

void SiteCounter::count(const PageOutcome &outcome, qint64 names) {
    tally_.files += names;
    if (outcome.failure) {
        tally_.failed += names;
        return;
    }
    if (outcome.left) {
        (outcome.left->kind == RenderVerdict::Kind::Differs ? tally_.lookDifferent
                                                            : tally_.unchecked) += names;
    } else {
        if (outcome.changed) tally_.changed += names;
        // A target that holds the page's compressed bytes already is not written again.
        if (outcome.written) tally_.written += names;
    }
    tally_.before += names * outcome.sizeBefore;
    tally_.after += names * outcome.sizeAfter;
}

// Copies the files of folder that are no pages into copy, folders first; the folders that the
// page finder could not read are counted once.
void copyOtherFiles(const SiteRequest &request, const JobPlan &plan, SiteTally &tally,
                    SiteRunView &view) {
    const QString &folder = request.copiedFolder;
    const OtherFiles others =
        otherFilesOf(folder, request.search.extensions, request.search.outputPath);
    std::set<QString> named;
    for (const FolderFailure &failure : plan.unreadableFolders) named.insert(failure.folder);
    for (const FolderFailure &failure : others.unreadableFolders) {
        if (!named.insert(failure.folder).second) continue;
        ++tally.unreadableFolders;
        view.detail(unreadableFolderText(failure));
    }
    for (const QString &made : others.folders) {
        const Result<Done> result = makeFolders(made);
        if (const auto *error = std::get_if<FileError>(&result))
            view.detail(cannotSaveText(made) + u'：' + fileErrorText(*error));
    }
    const QString within = resolvedPath(folder);
    for (const OtherFile &file : others.files) {
        if (request.stopped()) return;
        view.progress(0, 0, file.source);
        const CopyOutcome copied = copyOtherFile(file, within);
        if (copied.failure) {
            ++tally.otherFilesFailed;
            view.detail(pageFailureText(*copied.failure));
        }
    }
}

}  // namespace

std::variant<SiteTally, SiteRefusal> runSite(const SiteRequest &request, SiteRunView &view) {
    const auto planned = planJobs(request.search);
    if (const auto *refusal = std::get_if<PlanRefusal>(&planned)) return SiteRefusal{*refusal, {}};
    const JobPlan &plan = std::get<JobPlan>(planned);
    qint64 names = 0;
    for (const PageJob &job : plan.jobs) names += namesOf(job);

    CompressionRun run;
    run.threads = request.threads;
    run.level = request.level;
    run.stopped = request.stopped;
    run.compares = request.compares;
    // The browser starts before anything is written, so that a run without one writes nothing.
    std::unique_ptr<RenderCheck> check;
    if (!request.browser.isEmpty()) {
        VerifierSettings settings;
        settings.browser = request.browser;
        settings.tabs = request.threads;
        settings.seconds = request.pageSeconds;
        settings.interrupted = request.stopped;
        auto started = PageVerifier::start(std::move(settings));
        if (const auto *error = std::get_if<BrowserError>(&started))
            return SiteRefusal{{}, *error, names};
        check = std::make_unique<RenderCheck>(
            std::move(std::get<std::unique_ptr<PageVerifier>>(started)), request.threads);
        run.check = check.get();
    }

    SiteTally tally;
    tally.unreadableFolders = qint64(plan.unreadableFolders.size());
    for (const FolderFailure &failure : plan.unreadableFolders)
        view.detail(unreadableFolderText(failure));
    for (const QString &path : plan.leftovers) view.detail(leftoverFileText(path));
    if (!request.copiedFolder.isEmpty()) copyOtherFiles(request, plan, tally, view);

    SiteCounter counter(plan.jobs, request.pageSeconds, tally, view);
    compressAll(plan.jobs, run, counter);
    tally.untouched = names - counter.begun();
    tally.browserGaveUp = check && check->gaveUp();
    // The browser closes, and its folder goes, before the run tells how it ended.
    check.reset();
    return tally;
}

std::variant<SiteSize, PlanRefusal> measureSite(const QStringList &paths) {
    PageSearch search;
    search.output = PageOutput::Check;
    search.paths = paths;
    const auto planned = planJobs(search);
    if (const auto *refusal = std::get_if<PlanRefusal>(&planned)) return *refusal;
    const JobPlan &plan = std::get<JobPlan>(planned);
    SiteSize size;
    if (!plan.unreadableFolders.empty()) size.unreadable = plan.unreadableFolders.front();
    for (const PageJob &job : plan.jobs) {
        size.pages += namesOf(job);
        const auto status = statusOf(job.source);
        if (const auto *found = std::get_if<FileStatus>(&status)) size.bytes += found->size;
    }
    return size;
}
