#pragma once

#include <functional>
#include <vector>

#include "core/files/file_error.h"
#include "core/site/page_finder.h"
#include "core/site/page_outcome.h"
#include "core/trim/line_trim.h"

class RenderCheck;

// Where a run of the compressor tells what became of its pages. Called on the thread that runs
// compressAll.
class CompressionReport {
public:
    virtual ~CompressionReport() = default;

    virtual void page(const PageJob &job, const PageOutcome &outcome) = 0;
    // How many pages are done, reported or not.
    virtual void progress(qsizetype done) = 0;
    // A folder whose new files may not survive a power cut.
    virtual void unsyncedFolder(const QString &folder, const FileError &why) = 0;
};

// How a run goes.
struct CompressionRun {
    int threads = 1;  // pages compressed at once
    TrimLevel level = TrimLevel::Standard;
    // Asked before each page is started, from any thread: once it says yes, no page is started
    // any more; those under way are finished and reported, the others are not.
    std::function<bool()> stopped = [] { return false; };
    // With a render check, a page that its compression changes is stored only where the check
    // passes it; once the check gives up, no page is started either.
    RenderCheck *check = nullptr;
    // Whether each outcome tells if the page changes, wherever it goes. In place, for a check and
    // with a render check it always does; elsewhere the page is otherwise trimmed in the buffer it
    // was read into.
    bool compares = false;
};

// Compresses the pages of jobs, each exactly as opening it in the window and saving it right away
// would (at the deep level, as the window's site job does at that level), and stores each where
// its job says. Each outcome goes to report on the calling thread,
// in the order of jobs, as soon as it and those before it are known; between outcomes, and at
// least ten times a second, report learns how many pages are done.
void compressAll(const std::vector<PageJob> &jobs, const CompressionRun &run,
                 CompressionReport &report);
