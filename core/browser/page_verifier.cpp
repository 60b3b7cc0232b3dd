#include "core/browser/page_verifier.h"

#include <QUrl>

#include "core/browser/running_browser.h"

namespace {

RenderVerdict unchecked(RenderFailure failure) {
    RenderVerdict verdict;
    verdict.kind = RenderVerdict::Kind::Unchecked;
    verdict.failure = std::move(failure);
    return verdict;
}

RenderVerdict differs(RenderDifference difference) {
    RenderVerdict verdict;
    verdict.kind = RenderVerdict::Kind::Differs;
    verdict.difference = std::move(difference);
    return verdict;
}

}  // namespace

PageVerifier::PageVerifier(VerifierSettings settings)
    : settings_(std::move(settings)), freeTabs_(std::max(1, settings_.tabs)) {}

std::variant<std::unique_ptr<PageVerifier>, BrowserError> PageVerifier::start(
    VerifierSettings settings) {
    std::unique_ptr<PageVerifier> verifier(new PageVerifier(std::move(settings)));
    auto started = RunningBrowser::start(verifier->settings_.browser, verifier->settings_.seconds,
                                         verifier->settings_.interrupted);
    if (auto *error = std::get_if<BrowserError>(&started)) return *error;
    verifier->browser_ = std::move(std::get<std::unique_ptr<RunningBrowser>>(started));
    return verifier;
}

PageVerifier::~PageVerifier() {
    // The tabs go first: they speak through the browser's connection.
    idle_.clear();
    browser_.reset();
}

bool PageVerifier::gaveUp() const {
    const std::lock_guard lock(mutex_);
    return gaveUp_;
}

bool PageVerifier::restart(int generation) {
    std::unique_lock lock(mutex_);
    if (generation != generation_ || gaveUp_) return !gaveUp_;
    ++generation_;
    idle_.clear();
    // Ended once already: this is its second end.
    if (generation_ > 1 || (settings_.interrupted && settings_.interrupted())) {
        gaveUp_ = true;
        browser_.reset();
        tabFreed_.notify_all();
        return false;
    }
    // The old browser goes once the last page shown in it lets go of it.
    auto started =
        RunningBrowser::start(settings_.browser, settings_.seconds, settings_.interrupted);
    if (std::holds_alternative<BrowserError>(started)) {
        gaveUp_ = true;
        browser_.reset();
        tabFreed_.notify_all();
        return false;
    }
    browser_ = std::move(std::get<std::unique_ptr<RunningBrowser>>(started));
    return true;
}

RenderVerdict PageVerifier::verify(const QString &path, const QByteArray &page,
                                   const QByteArray &compressed) {
    {
        std::unique_lock lock(mutex_);
        tabFreed_.wait(lock, [this] { return freeTabs_ > 0 || gaveUp_; });
        if (gaveUp_) return unchecked({RenderFailure::Kind::GaveUp, {}});
        --freeTabs_;
    }
    const QString url = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    RenderVerdict verdict;
    for (bool again = false;; again = true) {
        std::shared_ptr<RunningBrowser> browser;
        std::unique_ptr<RenderTab> tab;
        int generation = 0;
        {
            const std::lock_guard lock(mutex_);
            browser = browser_;
            generation = generation_;
            if (!idle_.empty()) {
                tab = std::move(idle_.back());
                idle_.pop_back();
            }
        }
        if (!browser) {
            verdict = unchecked({RenderFailure::Kind::GaveUp, {}});
            break;
        }
        if (!tab) {
            const Deadline deadline =
                std::chrono::steady_clock::now() + std::chrono::seconds(settings_.seconds);
            auto opened = RenderTab::open(browser->connection(), deadline);
            if (auto *failure = std::get_if<RenderFailure>(&opened))
                verdict = unchecked(*failure);
            else
                tab = std::move(std::get<std::unique_ptr<RenderTab>>(opened));
        }
        if (tab) verdict = check(*tab, url, page, compressed);
        const bool browserGone = verdict.kind == RenderVerdict::Kind::Unchecked &&
                                 verdict.failure.kind == RenderFailure::Kind::BrowserGone;
        if (browserGone) {
            tab.reset();
            // A page is shown again once, in the browser started again: not for ever, should
            // it be what ends the browser. Its second end is the browser's too.
            if (restart(generation) && !again) continue;
        } else if (tab && verdict.kind != RenderVerdict::Kind::Unchecked) {
            const std::lock_guard lock(mutex_);
            if (generation == generation_) idle_.push_back(std::move(tab));
        }
        // A tab that timed out or crashed is closed here, which ends its renderer.
        tab.reset();
        verdict.browserRestarted = again;
        break;
    }
    {
        const std::lock_guard lock(mutex_);
        ++freeTabs_;
    }
    tabFreed_.notify_one();
    return verdict;
}

RenderVerdict PageVerifier::check(RenderTab &tab, const QString &url, const QByteArray &page,
                                  const QByteArray &compressed) {
    const Deadline deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(settings_.seconds);
    const auto show = [&](const QByteArray &bytes, bool scripts) {
        return tab.render(url, bytes, scripts, scripts, deadline);
    };
    // Both, one after the other: the first difference between them, or the failure.
    const auto compare =
        [&](bool scripts,
            PageRendering *first) -> std::variant<std::optional<RenderDifference>, RenderFailure> {
        auto before = show(page, scripts);
        if (auto *failure = std::get_if<RenderFailure>(&before)) return *failure;
        auto after = show(compressed, scripts);
        if (auto *failure = std::get_if<RenderFailure>(&after)) return *failure;
        if (first) *first = std::get<PageRendering>(before);
        auto difference =
            firstDifference(std::get<PageRendering>(before), std::get<PageRendering>(after));
        if (difference) difference->scriptsOff = !scripts;
        return difference;
    };

    PageRendering first;
    auto withScripts = compare(true, &first);
    if (auto *failure = std::get_if<RenderFailure>(&withScripts)) return unchecked(*failure);
    if (std::get<std::optional<RenderDifference>>(withScripts)) {
        PageRendering second;
        auto again = compare(true, &second);
        if (auto *failure = std::get_if<RenderFailure>(&again)) return unchecked(*failure);
        if (auto &difference = std::get<std::optional<RenderDifference>>(again)) {
            // The page as it is, shown twice, must look the same for a difference to count.
            if (firstDifference(first, second))
                return unchecked({RenderFailure::Kind::Unsteady, {}});
            return differs(*difference);
        }
    }
    auto withoutScripts = compare(false, nullptr);
    if (auto *failure = std::get_if<RenderFailure>(&withoutScripts)) return unchecked(*failure);
    if (auto &difference = std::get<std::optional<RenderDifference>>(withoutScripts))
        return differs(*difference);
    return {};
}
