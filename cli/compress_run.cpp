#include "cli/compress_run.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cli/batch_run.h"
#include "cli/exit_status.h"
#include "cli/job_plan.h"
#include "cli/page_finder.h"
#include "cli/progress_bar.h"
#include "cli/run_summary.h"
#include "cli/standard_streams.h"
#include "cli/stop_signals.h"

namespace {

void printTo(std::FILE *stream, const QString &line) {
    std::fputs(line.toLocal8Bit().constData(), stream);
}

// The page names that --check lists go out as the bytes of their file names, for scripts; a name
// may hold a line end, but never a NUL.
void listChanged(const QString &path, char end) {
    const QByteArray line = QFile::encodeName(path) + end;
    std::fwrite(line.constData(), 1, line.size(), stdout);
}

// Each result as it is known: a failure on standard error, a page that would change for --check.
class Reporter {
public:
    Reporter(const CompressRequest &request, RunSummary &summary)
        : check_(request.output == CompressRequest::Output::Check),
          end_(request.nullEnded ? '\0' : '\n'),
          summary_(summary),
          progress_(!request.quiet) {}
    ~Reporter() { progress_.clear(); }

    // The outcome of a page counts for each of its names.
    void report(const QString &shownPath, const PageOutcome &outcome,
                const QStringList &otherNames = {}) {
        summary_.add(outcome);
        for (qsizetype i = 0; i < otherNames.size(); ++i) summary_.add(outcome);
        if (outcome.failed) {
            progress_.clear();
            printTo(stderr, outcome.errorLine + u'\n');
        } else if (check_ && outcome.changed) {
            listChanged(shownPath, end_);
            for (const QString &name : otherNames) listChanged(name, end_);
        }
        if (!outcome.noticeLine.isEmpty()) reportNotice(outcome.noticeLine);
    }
    void reportUnreadableFolder(const QString &line) {
        summary_.addUnreadableFolder();
        reportNotice(line);
    }
    // A line that is no failure of its own.
    void reportNotice(const QString &line) {
        progress_.clear();
        printTo(stderr, line + u'\n');
    }
    void progress(qsizetype done, qsizetype total) { progress_.show(done, total); }

private:
    bool check_;
    char end_;
    RunSummary &summary_;
    ProgressBar progress_;
};

// What stands where the output folder, or a folder above it, should be, though it is no folder.
std::optional<QString> nonFolderOnTheWay(const QString &folder) {
    for (QString path = QDir::cleanPath(folder);; path = QFileInfo(path).path()) {
        const QByteArray name = QFile::encodeName(path);
        struct stat status {};
        if (::lstat(name.constData(), &status) == 0) {
            if (::stat(name.constData(), &status) == 0 && S_ISDIR(status.st_mode))
                return std::nullopt;
            return path;  // a file, or a link that leads nowhere or not to a folder
        }
        // Whatever else stops the look, making the folders will report it.
        if ((errno != ENOENT && errno != ENOTDIR) || QFileInfo(path).path() == path)
            return std::nullopt;
    }
}

// The pages of the PATHs; a usage error where -o is given a folder, --output-dir something that
// is no folder, or two pages would meet in one target.
std::variant<std::vector<PageJob>, CommandLineAnswer> jobsOf(const CompressRequest &request,
                                                             Reporter &reporter) {
    if (request.output == CompressRequest::Output::File && QFileInfo(request.paths[0]).isDir())
        return usageError(
            QStringLiteral("-o 只能用于一个文件，“%1”是文件夹。").arg(request.paths[0]));
    const bool mirror = request.output == CompressRequest::Output::Mirror;
    if (mirror) {
        if (const auto obstacle = nonFolderOnTheWay(request.outputPath))
            return usageError(
                QStringLiteral("--output-dir 要的是文件夹，“%1”不是文件夹。").arg(*obstacle));
    }
    PageFinder finder(request.extensions, mirror ? request.outputPath : QString());
    for (const QString &path : request.paths) finder.addPath(path);
    auto jobs = planJobs(request, finder.pages());
    if (const auto *conflict = std::get_if<QString>(&jobs)) return usageError(*conflict);
    for (const QString &line : finder.errors()) reporter.reportUnreadableFolder(line);
    for (const QString &line : finder.notices()) reporter.reportNotice(line);
    return std::move(std::get<std::vector<PageJob>>(jobs));
}

// What the summary line starts with when a signal stopped the run: which, and how many pages it
// left as they were.
QString interruptionText(int signal, qsizetype untouched) {
    const char *name = sigabbrev_np(signal);
    return QStringLiteral("已中断（SIG%1），还有 %2 个文件没有处理。")
        .arg(name ? QString::fromLatin1(name) : QString::number(signal))
        .arg(untouched);
}

RunSummary::Effect effectOf(const CompressRequest &request) {
    if (request.output == CompressRequest::Output::Check) return RunSummary::Effect::Check;
    if (request.output == CompressRequest::Output::InPlace && !request.readsStandardInput())
        return RunSummary::Effect::Rewrite;
    return RunSummary::Effect::Write;
}

}  // namespace

int runCompression(const CompressRequest &request) {
    RunSummary summary(effectOf(request));
    qsizetype untouched = 0;
    {
        Reporter reporter(request, summary);
        if (request.readsStandardInput()) {
            reporter.report(QStringLiteral("-"), compressStandardInput(request));
        } else {
            auto planned = jobsOf(request, reporter);
            if (const auto *refusal = std::get_if<CommandLineAnswer>(&planned)) {
                printTo(stderr, refusal->text);
                return refusal->exitStatus;
            }
            const auto &jobs = std::get<std::vector<PageJob>>(planned);
            const auto total = static_cast<qsizetype>(jobs.size());
            const qsizetype reported = compressAll(
                jobs, request.jobs,
                [&](const PageJob &job, const PageOutcome &outcome) {
                    reporter.report(job.source, outcome, job.otherNames);
                },
                [&](qsizetype done) { reporter.progress(done, total); },
                [] { return stopSignal() != 0; });
            for (qsizetype i = reported; i < total; ++i) untouched += 1 + jobs[i].otherNames.size();
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        printTo(stderr, QStringLiteral("zerediz-compress：无法写到标准输出。\n"));
        return exit_status::kFailed;
    }
    if (const int signal = stopSignal()) {
        const QString interruption = interruptionText(signal, untouched);
        printTo(stderr, request.quiet ? interruption + u'\n' : interruption + summary.line());
        return 128 + signal;
    }
    if (!request.quiet) printTo(stderr, summary.line());
    return summary.exitStatus();
}
