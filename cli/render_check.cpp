#include "cli/render_check.h"

#include <QDir>
#include <QFileInfo>

#include "cli/run_report.h"
#include "cli/stop_signals.h"
#include "core/browser/browser_location.h"

std::variant<std::unique_ptr<RenderCheck>, CommandLineAnswer> RenderCheck::start(
    const CompressRequest &request) {
    auto program = request.browser.isEmpty() ? findBrowser() : namedBrowser(request.browser);
    if (const auto *error = std::get_if<BrowserError>(&program))
        return compressUsageError(browserErrorText(*error));
    VerifierSettings settings;
    settings.browser = std::get<QString>(program);
    settings.tabs = request.jobs;
    settings.seconds = request.verifySeconds;
    settings.interrupted = [] { return stopSignal() != 0; };
    auto started = PageVerifier::start(std::move(settings));
    if (const auto *error = std::get_if<BrowserError>(&started)) {
        if (error->kind == BrowserError::Kind::Interrupted)
            return CommandLineAnswer{
                QStringLiteral("已中断（%1），什么也没做。\n").arg(signalName(stopSignal())),
                128 + stopSignal()};
        return compressUsageError(browserErrorText(*error));
    }
    return std::unique_ptr<RenderCheck>(
        new RenderCheck(std::move(std::get<std::unique_ptr<PageVerifier>>(started))));
}

bool RenderCheck::passes(const PageJob &job, const QByteArray &page, const QByteArray &compressed,
                         PageOutcome &outcome) {
    // Shown where its file lies, so that what it links resolves as it does for the file; standard
    // input, which lies nowhere, as a page of the current folder.
    const QString path = job.source == u'-' ? QDir::current().filePath(QStringLiteral("-"))
                                            : QFileInfo(job.source).absoluteFilePath();
    RenderVerdict verdict = verifier_->verify(path, page, compressed);
    outcome.browserRestarted = verdict.browserRestarted;
    if (verdict.kind == RenderVerdict::Kind::Same) return true;
    outcome.left = std::move(verdict);
    // Left as it is, it saves nothing.
    outcome.sizeAfter = outcome.sizeBefore;
    return false;
}
