#pragma once

#include <QString>

// What became of one page.
struct PageOutcome {
    bool failed = false;
    bool changed = false;  // its compressed form differs from it
    bool written = false;  // a file was written: the page itself, its target or standard output
    qint64 sizeBefore = 0;
    qint64 sizeAfter = 0;
    QString errorLine;  // for a failure: what failed, on which file, and why
    // Left alone, not counted: a link that leads out of the folder PATH it was found in.
    bool skipped = false;
    QString noticeLine;  // what was skipped, or what the page lost although it was written
};
