#include "core/site/render_check.h"

#include <QDir>
#include <QFileInfo>

#include "core/site/page_outcome.h"

void RenderCheck::takeTurn(qsizetype index, bool shown) {
    std::unique_lock lock(mutex_);
    turned_.wait(lock, [&] { return next_ == index && (!shown || showing_ < tabs_); });
    ++next_;
    showing_ += shown;
    turned_.notify_all();
}

void RenderCheck::skip(qsizetype index) {
    takeTurn(index, false);
}

bool RenderCheck::passes(qsizetype index, const PageJob &job, const QByteArray &page,
                         const QByteArray &compressed, PageOutcome &outcome) {
    // In the order of the pages, so that a run shows them as its report lists them, and a run that
    // stops has checked the pages before those it left.
    takeTurn(index, true);
    // Shown where its file lies, so that what it links resolves as it does for the file; standard
    // input, which lies nowhere, as a page of the current folder.
    const QString path = job.source == u'-' ? QDir::current().filePath(QStringLiteral("-"))
                                            : QFileInfo(job.source).absoluteFilePath();
    RenderVerdict verdict = verifier_->verify(path, page, compressed);
    {
        const std::lock_guard lock(mutex_);
        --showing_;
    }
    turned_.notify_all();
    outcome.browserRestarted = verdict.browserRestarted;
    if (verdict.kind == RenderVerdict::Kind::Same) return true;
    if (verdict.failure.kind == RenderFailure::Kind::GaveUp) {
        outcome.notBegun = true;
        return false;
    }
    outcome.left = std::move(verdict);
    // Left as it is, it saves nothing.
    outcome.sizeAfter = outcome.sizeBefore;
    return false;
}
