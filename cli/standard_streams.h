#pragma once

#include "cli/command_line.h"
#include "cli/page_outcome.h"

// Compresses standard input as one page, read to its end, into standard output, or into the file
// of -o (written through the window's writer), or nowhere for --check.
PageOutcome compressStandardInput(const CompressRequest &request);
