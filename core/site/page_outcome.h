#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <vector>

#include "core/browser/page_verifier.h"
#include "core/files/file_error.h"
#include "core/files/page_file.h"
#include "core/pages/linked_style_sheets.h"

// Why a page failed: at which step, on which of its files, and what the system said.
struct PageFailure {
    enum class Step { Open, Compress, Save };
    Step step = Step::Open;
    QString file;  // as the job names it: "-" for standard input or output
    FileError why;
};

// What became of one page.
struct PageOutcome {
    std::optional<PageFailure> failure;
    // Its compressed form differs from it: asked only by a check and a run in place.
    bool changed = false;
    bool written = false;  // a file was written: the page itself, its target or standard output
    qint64 sizeBefore = 0;
    qint64 sizeAfter = 0;
    // Left alone, not counted: a link that leads out of the folder PATH it was found in, to
    // linkTarget.
    bool skipped = false;
    QString linkTarget;
    QList<LostAttribute> lostAttributes;  // what the written file could not keep
    QString unsyncedFolder;  // the folder its new file took its place in, synced at the run's end
    // --verify left it as it is: it looked different in the browser, or could not be checked.
    std::optional<RenderVerdict> left;
    bool browserRestarted = false;  // the browser ended while it was shown, and was started again
    // Taken, but not begun: --verify gave up before its turn. It counts as a page the run did not
    // get to, as one not started after a stop signal.
    bool notBegun = false;
    std::vector<UnreadStyleSheet> unreadSheets;  // what it links that was not read
};

// What failed, on which file, and why, on one line. A "-" is the stream it stands for.
QString pageFailureText(const PageFailure &failure);

// Why a render check left a page as it is, on one line; seconds is the check's time limit.
QString leftPageText(const QString &page, const RenderVerdict &verdict, int seconds);

// A style sheet a page links that was not read, and why, on one line: the page is compressed as
// if it linked none.
QString unreadSheetText(const UnreadStyleSheet &sheet);

// A link found in a folder that leads out of it, to target, and was left alone.
QString skippedLinkText(const QString &link, const QString &target);

// A temporary file that an interrupted save left behind, and that stays.
QString leftoverFileText(const QString &path);
