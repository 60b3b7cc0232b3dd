#pragma once

#include <QString>
#include <variant>
#include <vector>

#include "cli/command_line.h"
#include "cli/page_finder.h"
#include "cli/page_job.h"

// Turns the pages found into the jobs the request asks for. A file reached twice (through a link,
// or under two PATHs) is compressed once, except that a mirror gets a file for each of its names.
// Two different files that would be written to the same target are refused before anything is
// written: the answer is then the reason.
std::variant<std::vector<PageJob>, QString> planJobs(const CompressRequest &request,
                                                     const std::vector<FoundPage> &pages);
