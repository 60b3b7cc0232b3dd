#pragma once

#include <QString>
#include <variant>
#include <vector>

#include "cli/command_line.h"
#include "cli/page_finder.h"
#include "cli/page_job.h"

// Turns the pages found into the jobs the request asks for, in the order found. A file reached
// twice (through a link, or under two PATHs) is compressed once in every mode, and goes by the
// same name in all of them: the first that is no link, where it has one; a mirror gets it under
// that name only. Hard links are names of their own: a mirror gets a file for each, and in place
// and for --check the file is compressed once and counts for each (otherNames), unless it has
// names beyond those found, which must not change: then each name is replaced on its own
// (nameAlone). A page found unfit keeps its failure. Two different files that would be written
// to the same target are refused before anything is written: the answer is then the reason.
std::variant<std::vector<PageJob>, QString> planJobs(const CompressRequest &request,
                                                     const std::vector<FoundPage> &pages);
