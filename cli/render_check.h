#pragma once

#include <QByteArray>
#include <memory>
#include <variant>

#include "cli/command_line.h"
#include "cli/page_finder.h"
#include "core/browser/page_verifier.h"
#include "core/terminal/command_line.h"

struct PageOutcome;

// --verify: the browser a run shows its changed pages in, started once, before any page is
// written, and closed when the run ends.
class RenderCheck {
public:
    // Starts the browser the request names, or the one the platform has. Where none can be had,
    // what to say instead, with exit status 2 (nothing is written then); stopped by a signal, its
    // status.
    static std::variant<std::unique_ptr<RenderCheck>, CommandLineAnswer> start(
        const CompressRequest &request);

    // Whether the page of job may be written as compressed: it looks as page did. Where it does
    // not, outcome says why it is left as it is. Any thread; a page waits while every tab is taken.
    bool passes(const PageJob &job, const QByteArray &page, const QByteArray &compressed,
                PageOutcome &outcome);
    // The browser ended a second time: no page is to be started any more.
    bool gaveUp() const { return verifier_->gaveUp(); }

private:
    explicit RenderCheck(std::unique_ptr<PageVerifier> verifier) : verifier_(std::move(verifier)) {}
    std::unique_ptr<PageVerifier> verifier_;
};
