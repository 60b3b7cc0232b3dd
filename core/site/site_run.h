#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

#include "core/browser/browser_error.h"
#include "core/site/page_finder.h"
#include "core/site/page_outcome.h"
#include "core/trim/line_trim.h"

// A whole run over a site, as both programs make it: the pages found, the browser that checks
// them where one is asked for, the other files where a folder is copied whole, every page
// compressed and stored, and the tally. zerediz-compress and the window's site job only start it
// and show what it tells.

// What a run is asked to do.
struct SiteRequest {
    PageSearch search;
    TrimLevel level = TrimLevel::Standard;
    int threads = 1;  // pages compressed at once, and tabs of the browser
    // Whether each outcome tells if the page changes, wherever it goes (CompressionRun).
    bool compares = false;
    // Where each page that changes is shown first, as it is and compressed: the browser; empty
    // for none.
    QString browser;
    // How long a page may take in the browser, and the browser's start.
    int pageSeconds = kPageSeconds;
    // A folder copied whole into search.outputPath: its files that are no pages are copied too.
    QString copiedFolder;
    // Asked before each page and file is begun: once it says yes, none is begun any more.
    std::function<bool()> stopped = [] { return false; };
};

// What became of a run; each page counts for each of its names.
struct SiteTally {
    qint64 files = 0;    // pages reported, skipped links apart
    qint64 changed = 0;  // whose compressed form differs, and were stored so
    qint64 written = 0;  // whose compressed form was written to a file or standard output
    qint64 failed = 0;
    qint64 lookDifferent = 0;  // left by the browser's check
    qint64 unchecked = 0;      // left: the browser could not check them
    qint64 untouched = 0;      // not begun: the run was stopped first
    qint64 otherFilesFailed = 0;
    qint64 unreadableFolders = 0;
    qint64 unsyncedFolders = 0;
    qint64 before = 0;
    qint64 after = 0;
    bool browserGaveUp = false;  // the browser ended a second time, and the run stopped

    qint64 left() const { return lookDifferent + unchecked; }
    // Neither failed nor left nor changed.
    qint64 unchanged() const { return files - changed - failed - left(); }
};

// Why a run did nothing at all: the search cannot be carried out, or the browser could not be
// started (or was stopped while it started).
struct SiteRefusal {
    std::optional<PlanRefusal> plan;
    std::optional<BrowserError> browser;
    qint64 untouched = 0;  // the names of the pages found, none of them begun
};

// Where a run tells what happens, as it happens, on the thread that runs it.
class SiteRunView {
public:
    virtual ~SiteRunView() = default;

    // One line worth a word: a failure, a page left as it is, a folder that could not be read, a
    // style sheet not read, a link left alone, ...
    virtual void detail(const QString &line) = 0;
    // What became of a page, after its lines.
    virtual void page(const PageJob &job, const PageOutcome &outcome) {
        Q_UNUSED(job);
        Q_UNUSED(outcome);
    }
    // How many pages are done, of total, and the file under way (empty where none); while the
    // other files of a copy go, done and total are 0.
    virtual void progress(qsizetype done, qsizetype total, const QString &current) = 0;
};

// Carries out request, telling view as it goes: the tally, or why nothing was done. A page that
// the browser leaves is written unchanged where the run writes a copy of the site (a Mirror), so
// that the copy holds every page; its bytes count as they are.
std::variant<SiteTally, SiteRefusal> runSite(const SiteRequest &request, SiteRunView &view);

// How many pages paths name, counting each of its names, and how many bytes they hold, as a site
// run would find them; and the first folder of paths that could not be read, where that is so.
struct SiteSize {
    qint64 pages = 0;
    qint64 bytes = 0;
    std::optional<FolderFailure> unreadable;
};
std::variant<SiteSize, PlanRefusal> measureSite(const QStringList &paths);
