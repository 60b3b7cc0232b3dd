#pragma once

#include <functional>
#include <vector>

#include "cli/page_job.h"
#include "cli/page_outcome.h"

// Compresses the pages of jobs, `threads` at once; more are stored at once than that. Each outcome
// is handed to report on the calling thread, in the order of jobs, as soon as it and those before
// it are known; between outcomes, and at least ten times a second, progress learns how many pages
// are done. Once stopped() answers true, no page is started any more: those under way are
// finished and reported, the others are not. Answers how many pages were reported.
qsizetype compressAll(const std::vector<PageJob> &jobs, int threads,
                      const std::function<void(const PageJob &, const PageOutcome &)> &report,
                      const std::function<void(qsizetype done)> &progress,
                      const std::function<bool()> &stopped);
