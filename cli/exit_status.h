#pragma once

// The exit statuses of zerediz-compress, for scripts and build tools.
namespace exit_status {

constexpr int kDone = 0;        // every page was compressed, or --check found nothing to change
constexpr int kFailed = 1;      // a file failed, or --check found a page that would change
constexpr int kUsageError = 2;  // the command line asked for something impossible; nothing done

}  // namespace exit_status
