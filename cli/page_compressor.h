#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <variant>

#include "cli/page_job.h"
#include "cli/page_outcome.h"
#include "core/file_error.h"
#include "core/page_file.h"

// The compressed form of a page's bytes, exactly what opening the page in the window and saving
// it right away writes: that is what the window guarantees for every byte string, so the page
// need not be decoded. Refused as too large where the window would refuse it.
std::variant<QByteArray, FileError> compressedBytes(QByteArrayView page);

// How a target is named in an error line: "-" as standard output.
QString targetName(const QString &target);

// What storing a page did: wrote it, and what the file it replaced could not keep, or found it
// held already.
struct Stored {
    bool written = false;
    QList<LostAttribute> lostAttributes;
};

// Writes the compressed bytes of a page to target through the window's writer, unless target
// holds exactly these bytes already: then it is not written at all and keeps its time stamp. For
// a mirror, the folders of target are made first. The target "-" is standard output, which is
// always written.
std::variant<Stored, FileError> storeUnlessHeld(PageJob::Kind kind, const QString &target,
                                                const QByteArray &bytes);

// What became of a page that storing to target answered stored for: outcome as compressing it
// left it, with what was written and a word on what its file lost; or a failure.
PageOutcome outcomeOf(const std::variant<Stored, FileError> &stored, const QString &target,
                      PageOutcome outcome);

// A page read and compressed, waiting to be stored where its job says.
struct CompressedPage {
    PageOutcome outcome;  // failed already, or what storing it will report
    QByteArray bytes;
    bool store = false;  // whether anything is left to write
    // Compressed in place: the file that was read, where it lies, links resolved, so that what
    // is written is that file and no other, whatever links change meanwhile.
    QString resolvedPath;
    FileIdentity identity;
};

// Reads the page of job as the window's loader does and compresses it: the work that keeps a core
// busy. A page compressed in place that would not change is not to be stored. A page found in a
// folder PATH that is, links followed, not inside that folder is skipped, unread.
CompressedPage compressPage(const PageJob &job);

// Stores a compressed page where its job says: mostly waiting for the disk. Both functions are
// safe to run on several threads at once for different jobs.
PageOutcome storePage(const PageJob &job, CompressedPage page);
