// zerediz-compress: compresses many page files at once, for scripts and build pipelines, with
// the window's own loader, trim and writer. Needs no display.
//
// A run goes one way: the command line becomes a request, the request the jobs of the pages it
// names, the compressor carries the jobs out, and the report tells what became of them.
#include <QCoreApplication>

#include "cli/command_line.h"
#include "cli/run_report.h"
#include "cli/stop_signals.h"
#include "cli/verify_start.h"
#include "core/files/page_file.h"
#include "core/site/page_compressor.h"
#include "core/site/page_finder.h"
#include "core/terminal/command_line.h"
#include "zerediz_version.h"

int main(int argc, char *argv[]) {
    catchStopSignals();
    // A page beyond the file-size limit fails on its own line; the run goes on with the next.
    ignoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zerediz-compress"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEREDIZ_VERSION));
    installChineseQtTranslations(app);

    const auto parsed = parseCompressRequest(QCoreApplication::arguments());
    if (const auto *answer = std::get_if<CommandLineAnswer>(&parsed)) return printAnswer(*answer);
    const CompressRequest &request = std::get<CompressRequest>(parsed);

    const auto planned = planJobs(request.search());
    if (const auto *refusal = std::get_if<PlanRefusal>(&planned))
        return printAnswer(compressUsageError(refusal->reason));
    const JobPlan &plan = std::get<JobPlan>(planned);

    // The browser starts before any page is written, so that a run without one writes nothing.
    std::unique_ptr<RenderCheck> check;
    if (request.verify) {
        auto started = startRenderCheck(request);
        if (const auto *refusal = std::get_if<CommandLineAnswer>(&started))
            return printAnswer(*refusal);
        check = std::move(std::get<std::unique_ptr<RenderCheck>>(started));
    }

    RunReport report(request, plan.jobs);
    for (const FolderFailure &failure : plan.unreadableFolders) report.unreadableFolder(failure);
    for (const QString &path : plan.leftovers) report.leftover(path);
    CompressionRun run;
    run.threads = request.jobs;
    run.level = request.level;
    run.stopped = [] { return stopSignal() != 0; };
    run.check = check.get();
    compressAll(plan.jobs, run, report);
    if (check && check->gaveUp()) report.browserGaveUp();
    // The browser closes, and its folder goes, before the run tells how it ended.
    check.reset();
    return report.finish(stopSignal());
}
