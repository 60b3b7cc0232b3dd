#pragma once

#include <vector>

#include "cli/page_finder.h"
#include "cli/render_check.h"
#include "cli/run_report.h"

// Compresses the pages of jobs, `threads` at once, each exactly as opening it in the window and
// saving it right away would, and stores each where its job says. Each outcome goes to report on
// the calling thread, in the order of jobs, as soon as it and those before it are known; between
// outcomes, and at least ten times a second, report learns how many pages are done. Once a stop
// signal came, no page is started any more: those under way are finished and reported, the others
// are not (see stopSignal). With a render check (--verify), a page that its compression changes is
// stored only where the check passes it; once the check gives up, no page is started either.
void compressAll(const std::vector<PageJob> &jobs, int threads, RunReport &report,
                 RenderCheck *check = nullptr);
