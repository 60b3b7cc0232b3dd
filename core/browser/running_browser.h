#pragma once

#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "core/browser/browser_error.h"
#include "core/browser/browser_process.h"
#include "core/browser/devtools_connection.h"

// A browser started for a run: headless, with a fresh profile in a temporary folder of its own,
// which holds its other temporary files too and goes with it, and the protocol's connection to it.
class RunningBrowser {
public:
    // Starts program and waits, up to seconds, for its first answer. interrupted is asked while
    // it waits, and while anyone waits for it afterwards (see DevToolsConnection).
    static std::variant<std::unique_ptr<RunningBrowser>, BrowserError> start(
        const QString &program, int seconds, const std::function<bool()> &interrupted);
    // Asks the browser to close, gives it a few seconds, then ends it and every process it
    // started, and removes its folder.
    ~RunningBrowser();
    RunningBrowser(const RunningBrowser &) = delete;
    RunningBrowser &operator=(const RunningBrowser &) = delete;

    DevToolsConnection &connection() { return *connection_; }

private:
    RunningBrowser() = default;

    std::optional<QTemporaryDir> folder_;
    std::unique_ptr<BrowserProcess> process_;
    std::unique_ptr<DevToolsConnection> connection_;
    std::atomic<bool> closing_ = false;
    std::function<bool()> interrupted_;
};
