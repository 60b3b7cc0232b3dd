#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <variant>
#include <vector>

#include "core/browser/browser_error.h"
#include "core/browser/render_comparison.h"
#include "core/browser/render_tab.h"

class RunningBrowser;

// How long a page may take in the browser, and the browser's start, unless a run asks otherwise.
inline constexpr int kPageSeconds = 60;

// How pages are checked.
struct VerifierSettings {
    QString browser;             // the program
    int tabs = 1;                // pages shown at once
    int seconds = kPageSeconds;  // the time limit of a page, and of the browser's start
    // Asked while anything waits for the browser: once it says so, waiting ends.
    std::function<bool()> interrupted;
};

// What showing a page as it is and as it would be written found.
struct RenderVerdict {
    enum class Kind {
        Same,
        Differs,    // difference says what
        Unchecked,  // failure says why
    };
    Kind kind = Kind::Same;
    RenderDifference difference;
    RenderFailure failure;
    // The browser ended while this page was shown, and was started again for it.
    bool browserRestarted = false;
};

// Proof, page by page, that a compressed page looks as the page did: a browser on the machine
// shows both, side by side in two tabs, and they must give the same text with the page's scripts
// on and with them off, the same attributes a person sees, and, with scripts on, the same look:
// every box's place and size, every run of text, every attribute and style sheet the browser
// paints from (see readingScript), and a picture of whatever the look cannot tell. A difference
// counts only once both are shown again: a page that animates or whose scripts draw something new
// each time looks different from itself, and is not checked.
//
// What needs no second showing is not shown twice. A page in which nothing runs a script shows the
// same without scripts, and its compressed form, which the browser reads into the same elements
// with other text, is that text put in place in the page shown, which the browser lays out again.
// Likewise for any page without its scripts, once both have been shown with them.
//
// Several pages are checked at once, each in two tabs of its own. A page that does not finish by
// its time limit or crashes a tab is not checked; its tabs are closed. The browser ending is
// survived once: it is started again, and the pages it was showing are shown again; after a second
// end nothing more is checked.
class PageVerifier {
public:
    // Starts the browser, or tells why it could not.
    static std::variant<std::unique_ptr<PageVerifier>, BrowserError> start(
        VerifierSettings settings);
    // Closes the browser (see RunningBrowser).
    ~PageVerifier();
    PageVerifier(const PageVerifier &) = delete;
    PageVerifier &operator=(const PageVerifier &) = delete;

    // Shows the page whose file is at path as page and as compressed and compares what it shows.
    // Any thread; a thread waits while every tab is taken.
    RenderVerdict verify(const QString &path, const QByteArray &page, const QByteArray &compressed);

    // The browser ended a second time: every page is unchecked from now on.
    bool gaveUp() const;
    int seconds() const { return settings_.seconds; }

private:
    // The tabs a page is checked in: the page as it is in one, as it would be written in the other.
    struct TabPair {
        std::unique_ptr<RenderTab> page;
        std::unique_ptr<RenderTab> compressed;
    };

    explicit PageVerifier(VerifierSettings settings);
    // What showing the page in tabs found, or the failure of a tab or the browser.
    RenderVerdict check(TabPair &tabs, const QString &url, const QByteArray &page,
                        const QByteArray &compressed);
    // After the browser of generation ended: starts it again, once, unless another thread did;
    // whether there is a browser to go on with.
    bool restart(int generation);

    VerifierSettings settings_;
    mutable std::mutex mutex_;
    std::condition_variable tabFreed_;
    int freeTabs_ = 0;                         // guarded by mutex_
    std::shared_ptr<RunningBrowser> browser_;  // guarded by mutex_
    std::vector<TabPair> idle_;                // guarded by mutex_: open tabs of browser_
    int generation_ = 0;                       // guarded by mutex_: browsers started, less one
    bool gaveUp_ = false;                      // guarded by mutex_
};
