#pragma once

#include <vector>

#include "cli/page_finder.h"
#include "cli/run_report.h"

// SIGINT (Ctrl+C), SIGTERM and SIGHUP ask a run to stop. Taken by the default action, they would
// end the program between any two system calls, leaving a temporary file half written beside a
// page. Instead they are only noted: no new page is started, the pages under way are finished
// (each is then old or new, and no temporary file stays), and the run ends with 128 + the signal's
// number, as a shell reports a program that the signal ended.

// Blocks the three signals in the calling thread, and so in every thread started after, and
// starts the one thread that waits for them. Called first in main, before any other thread.
void catchStopSignals();

// The signal that asked to stop, or 0 while none has.
int stopSignal();

// Compresses the pages of jobs, `threads` at once, each exactly as opening it in the window and
// saving it right away would, and stores each where its job says. Each outcome goes to report on
// the calling thread, in the order of jobs, as soon as it and those before it are known; between
// outcomes, and at least ten times a second, report learns how many pages are done. Once a stop
// signal came, no page is started any more: those under way are finished and reported, the others
// are not.
void compressAll(const std::vector<PageJob> &jobs, int threads, RunReport &report);
