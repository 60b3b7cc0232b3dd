#pragma once

#include <QByteArray>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/browser/page_verifier.h"
#include "core/site/page_finder.h"

struct PageOutcome;

// The browser a run shows its changed pages in, started once, before any page is written, and
// closed when the run ends.
class RenderCheck {
public:
    // tabs: how many pages are shown at once.
    RenderCheck(std::unique_ptr<PageVerifier> verifier, int tabs)
        : verifier_(std::move(verifier)), tabs_(tabs) {}

    // Whether the page of job may be written as compressed: it looks as page did. Where it does
    // not, outcome says why it is left as it is. Any thread. Pages take their turns in the order
    // of their jobs (index), as tabs come free: every job must either be checked or skipped.
    bool passes(qsizetype index, const PageJob &job, const QByteArray &page,
                const QByteArray &compressed, PageOutcome &outcome);
    // The job of index needs no check: it failed, or its compression changes nothing.
    void skip(qsizetype index);
    // The browser ended a second time: no page is to be started any more.
    bool gaveUp() const { return verifier_->gaveUp(); }

private:
    // Waits until the job of index comes next, and, where it is to be shown, a tab is free.
    void takeTurn(qsizetype index, bool shown);

    std::unique_ptr<PageVerifier> verifier_;
    const int tabs_;
    std::mutex mutex_;
    std::condition_variable turned_;
    qsizetype next_ = 0;  // guarded by mutex_: the job whose turn it is
    int showing_ = 0;     // guarded by mutex_
};
