#pragma once

#include "cli/command_line.h"

// Carries out a request. Standard error gets one line for each file that fails, a progress bar
// on a terminal, and the summary line at the end (the last two not with --quiet); for --check,
// standard output gets the pages that would change, one a line. Answers the exit status.
int runCompression(const CompressRequest &request);
