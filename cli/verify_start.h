#pragma once

#include <memory>
#include <variant>

#include "cli/command_line.h"
#include "core/site/render_check.h"
#include "core/terminal/command_line.h"

// --verify: starts the browser the request names, or the one the platform has. Where none can be
// had, what to say instead, with exit status 2 (nothing is written then); stopped by a signal,
// its status.
std::variant<std::unique_ptr<RenderCheck>, CommandLineAnswer> startRenderCheck(
    const CompressRequest &request);
