#include "cli/verify_start.h"

#include "cli/stop_signals.h"
#include "core/browser/browser_location.h"

std::variant<std::unique_ptr<RenderCheck>, CommandLineAnswer> startRenderCheck(
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
    return std::make_unique<RenderCheck>(
        std::move(std::get<std::unique_ptr<PageVerifier>>(started)), request.jobs);
}
