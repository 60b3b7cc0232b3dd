#include "core/browser/page_verifier.h"

#include <QUrl>
#include <thread>

#include "core/browser/running_browser.h"
#include "core/browser/static_page.h"

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

// The names each tab keeps the look it read under, to be asked about once the two differ.
const QString kPageLook = QStringLiteral("page");
const QString kCompressedLook = QStringLiteral("compressed");

using Rendering = std::variant<PageRendering, RenderFailure>;

// Reads what tab shows with scripts on, pictures of what the look cannot tell included; where
// scripts may have run, once they have had two frames.
Rendering lookAt(RenderTab &tab, const QString &key, Deadline deadline, bool scripts = true) {
    auto read = tab.read({scripts, true, key}, deadline);
    auto *rendering = std::get_if<PageRendering>(&read);
    if (rendering && (rendering->wholePicture || !rendering->regions.isEmpty())) {
        if (auto failure = tab.photograph(*rendering, deadline)) return *failure;
    }
    return read;
}

// Shows bytes in tab with scripts on, and reads it.
Rendering showAndLook(RenderTab &tab, const QString &url, const QByteArray &bytes,
                      const QString &key, Deadline deadline, bool scripts = true) {
    if (auto failure = tab.show(url, bytes, true, deadline)) return *failure;
    return lookAt(tab, key, deadline, scripts);
}

// Shows bytes in tab with scripts off, and reads its text and attributes.
Rendering showWithoutScripts(RenderTab &tab, const QString &url, const QByteArray &bytes,
                             Deadline deadline) {
    if (auto failure = tab.show(url, bytes, false, deadline)) return *failure;
    return tab.read({false, false, {}}, deadline);
}

// The first failure of two.
std::optional<RenderFailure> failureOf(const Rendering &first, const Rendering &second) {
    if (const auto *failure = std::get_if<RenderFailure>(&first)) return *failure;
    if (const auto *failure = std::get_if<RenderFailure>(&second)) return *failure;
    return std::nullopt;
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
        std::optional<TabPair> tabs;
        int generation = 0;
        {
            const std::lock_guard lock(mutex_);
            browser = browser_;
            generation = generation_;
            if (!idle_.empty()) {
                tabs = std::move(idle_.back());
                idle_.pop_back();
            }
        }
        if (!browser) {
            verdict = unchecked({RenderFailure::Kind::GaveUp, {}});
            break;
        }
        if (!tabs) {
            const Deadline deadline =
                std::chrono::steady_clock::now() + std::chrono::seconds(settings_.seconds);
            auto first = RenderTab::open(browser->connection(), deadline);
            auto second = std::holds_alternative<RenderFailure>(first)
                              ? std::move(first)
                              : RenderTab::open(browser->connection(), deadline);
            if (auto *failure = std::get_if<RenderFailure>(&second))
                verdict = unchecked(*failure);
            else
                tabs = TabPair{std::move(std::get<std::unique_ptr<RenderTab>>(first)),
                               std::move(std::get<std::unique_ptr<RenderTab>>(second))};
        }
        if (tabs) verdict = check(*tabs, url, page, compressed);
        const bool browserGone = verdict.kind == RenderVerdict::Kind::Unchecked &&
                                 verdict.failure.kind == RenderFailure::Kind::BrowserGone;
        if (browserGone) {
            tabs.reset();
            // A page is shown again once, in the browser started again: not for ever, should
            // it be what ends the browser. Its second end is the browser's too.
            if (restart(generation) && !again) continue;
        } else if (tabs && verdict.kind != RenderVerdict::Kind::Unchecked) {
            const std::lock_guard lock(mutex_);
            if (generation == generation_) idle_.push_back(std::move(*tabs));
        }
        // Tabs that timed out or crashed are closed here, which ends their renderers.
        tabs.reset();
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

RenderVerdict PageVerifier::check(TabPair &tabs, const QString &url, const QByteArray &page,
                                  const QByteArray &compressed) {
    const Deadline deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(settings_.seconds);
    RenderTab &pageTab = *tabs.page;
    RenderTab &compressedTab = *tabs.compressed;
    using Pair = std::pair<PageRendering, PageRendering>;
    // Both shown with scripts, side by side: the page in its tab, its compressed form in the
    // other, at once.
    const auto showBoth = [&]() -> std::variant<Pair, RenderFailure> {
        std::optional<Rendering> after;
        std::jthread later([&] {
            after = showAndLook(compressedTab, url, compressed, kCompressedLook, deadline);
        });
        const Rendering before = showAndLook(pageTab, url, page, kPageLook, deadline);
        later.join();
        if (auto failure = failureOf(before, *after)) return *failure;
        return Pair(std::get<PageRendering>(before), std::get<PageRendering>(*after));
    };
    // The first difference that shows: where the look differs, the whole pages are photographed,
    // in the tabs that still show them, and the pictures tell.
    using Seen = std::variant<std::optional<RenderDifference>, RenderFailure>;
    const auto shows = [&](PageRendering &first, RenderTab *firstTab, PageRendering &second,
                           RenderTab *secondTab) -> Seen {
        auto difference = firstDifference(first, second);
        if (!difference || difference->kind != RenderDifference::Kind::Look) return difference;
        for (auto [rendering, tab] : {std::pair(&first, firstTab), std::pair(&second, secondTab)})
            if (tab)
                if (auto failure = tab->photographPage(*rendering, deadline)) return *failure;
        return firstDifference(first, second);
    };
    // Names what differs in the look, as each tab read it.
    const auto described = [&](RenderDifference difference) -> RenderVerdict {
        if (difference.kind == RenderDifference::Kind::Look) {
            auto before = pageTab.lookEntry(kPageLook, difference.entry, deadline);
            auto after = compressedTab.lookEntry(kCompressedLook, difference.entry, deadline);
            if (auto *failure = std::get_if<RenderFailure>(&before)) return unchecked(*failure);
            if (auto *failure = std::get_if<RenderFailure>(&after)) return unchecked(*failure);
            describeLook(difference, std::get<QStringList>(before), std::get<QStringList>(after));
        }
        return differs(std::move(difference));
    };

    // Where nothing runs a script, the page shown once stands for itself without scripts too, and
    // its compressed form is its text put in place.
    bool withoutScripts = !mayRunScripts(page) && !mayRunScripts(compressed);
    std::optional<PageRendering> before;  // the page, with scripts, as its tab shows it
    std::optional<PageRendering> after;   // likewise, its compressed form
    if (withoutScripts) {
        Rendering shown = showAndLook(pageTab, url, page, kPageLook, deadline, false);
        if (auto *failure = std::get_if<RenderFailure>(&shown)) return unchecked(*failure);
        before = std::get<PageRendering>(std::move(shown));
        withoutScripts = !before->scripted;
        // The browser found a script after all: it is given its frames.
        if (!withoutScripts) {
            shown = lookAt(pageTab, kPageLook, deadline);
            if (auto *failure = std::get_if<RenderFailure>(&shown)) return unchecked(*failure);
            before = std::get<PageRendering>(std::move(shown));
        }
        if (withoutScripts && readInSameEncoding(page, compressed)) {
            auto became = pageTab.become(compressed, before->charset, deadline);
            if (auto *failure = std::get_if<RenderFailure>(&became)) return unchecked(*failure);
            if (std::get<bool>(became)) {
                Rendering now = lookAt(pageTab, kCompressedLook, deadline, false);
                if (auto *failure = std::get_if<RenderFailure>(&now)) return unchecked(*failure);
                if (!firstDifference(*before, std::get<PageRendering>(now))) return {};
                // A difference counts only as both show it, each shown anew.
                before.reset();
            }
        }
    }
    if (!before) {
        auto both = showBoth();
        if (auto *failure = std::get_if<RenderFailure>(&both)) return unchecked(*failure);
        std::tie(before, after) = std::get<Pair>(std::move(both));
    } else {
        Rendering shown = showAndLook(compressedTab, url, compressed, kCompressedLook, deadline);
        if (auto *failure = std::get_if<RenderFailure>(&shown)) return unchecked(*failure);
        after = std::get<PageRendering>(std::move(shown));
    }
    withoutScripts = withoutScripts && !before->scripted && !after->scripted;
    Seen first = shows(*before, &pageTab, *after, &compressedTab);
    if (auto *failure = std::get_if<RenderFailure>(&first)) return unchecked(*failure);
    if (std::get<std::optional<RenderDifference>>(first)) {
        // Both shown once more: the page must look as it did the first time for a difference to
        // count, and its picture, should its look not be the same, is taken now, while it shows.
        if (auto failure = pageTab.photographPage(*before, deadline)) return unchecked(*failure);
        auto again = showBoth();
        if (auto *failure = std::get_if<RenderFailure>(&again)) return unchecked(*failure);
        auto &[page2, compressed2] = std::get<Pair>(again);
        Seen steady = shows(*before, nullptr, page2, &pageTab);
        if (auto *failure = std::get_if<RenderFailure>(&steady)) return unchecked(*failure);
        if (std::get<std::optional<RenderDifference>>(steady))
            return unchecked({RenderFailure::Kind::Unsteady, {}});
        Seen seen = shows(page2, &pageTab, compressed2, &compressedTab);
        if (auto *failure = std::get_if<RenderFailure>(&seen)) return unchecked(*failure);
        if (auto &difference = std::get<std::optional<RenderDifference>>(seen))
            return described(*difference);
        withoutScripts = withoutScripts && !page2.scripted && !compressed2.scripted;
        after = compressed2;
    }
    if (withoutScripts) return {};

    // Without scripts, the page shown again; its compressed form put in place in it where the
    // browser reads it alike, else shown beside it.
    Rendering plain = showWithoutScripts(pageTab, url, page, deadline);
    if (auto *failure = std::get_if<RenderFailure>(&plain)) return unchecked(*failure);
    const PageRendering &plainPage = std::get<PageRendering>(plain);
    if (plainPage.charset == after->charset) {
        auto became = pageTab.become(compressed, after->charset, deadline);
        if (auto *failure = std::get_if<RenderFailure>(&became)) return unchecked(*failure);
        if (std::get<bool>(became)) {
            Rendering now = pageTab.read({false, false, {}}, deadline);
            if (auto *failure = std::get_if<RenderFailure>(&now)) return unchecked(*failure);
            if (!firstDifference(plainPage, std::get<PageRendering>(now))) return {};
        }
    }
    Rendering plainCompressed = showWithoutScripts(compressedTab, url, compressed, deadline);
    if (auto *failure = std::get_if<RenderFailure>(&plainCompressed)) return unchecked(*failure);
    if (auto seen = firstDifference(plainPage, std::get<PageRendering>(plainCompressed))) {
        seen->scriptsOff = true;
        return differs(*seen);
    }
    return {};
}
