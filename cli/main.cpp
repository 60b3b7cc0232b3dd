// zerediz-compress: compresses many page files at once, for scripts and build pipelines, with
// the window's own loader, trim and writer. Needs no display.
//
// A run goes one way: the command line becomes a request, the site run finds the pages it names,
// compresses and stores them, and the report tells what became of them.
#include <QCoreApplication>

#include "cli/command_line.h"
#include "cli/run_report.h"
#include "cli/stop_signals.h"
#include "core/browser/browser_location.h"
#include "core/files/page_file.h"
#include "core/site/site_run.h"
#include "core/terminal/command_line.h"
#include "zerediz_version.h"

namespace {

// What to say where the run did nothing at all, and its exit status.
CommandLineAnswer refusalAnswer(const SiteRefusal &refusal) {
    if (refusal.plan) return compressUsageError(refusal.plan->reason);
    if (refusal.browser->kind == BrowserError::Kind::Interrupted)
        return CommandLineAnswer{
            QStringLiteral("已中断（%1），什么也没做。\n").arg(signalName(stopSignal())),
            128 + stopSignal()};
    return compressUsageError(browserErrorText(*refusal.browser));
}

}  // namespace

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

    SiteRequest site;
    site.search = request.search();
    site.level = request.level;
    site.threads = request.jobs;
    site.pageSeconds = request.verifySeconds;
    site.stopped = [] { return stopSignal() != 0; };
    if (request.verify) {
        const auto browser =
            request.browser.isEmpty() ? findBrowser() : namedBrowser(request.browser);
        if (const auto *error = std::get_if<BrowserError>(&browser))
            return printAnswer(compressUsageError(browserErrorText(*error)));
        site.browser = std::get<QString>(browser);
    }

    RunReport report(request);
    const auto ran = runSite(site, report);
    if (const auto *refusal = std::get_if<SiteRefusal>(&ran))
        return printAnswer(refusalAnswer(*refusal));
    return report.finish(std::get<SiteTally>(ran), stopSignal());
}
