#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <variant>

#include "core/browser/browser_error.h"

// A browser process started for this program alone, and the pipe to it that its DevTools
// protocol speaks over (--remote-debugging-pipe): no port is opened, so no other program on the
// machine can reach it. Each platform has its own file of this.
//
// On Linux the browser reads from its descriptor 3 and writes to its descriptor 4; on Windows it
// is handed two pipe handles named by --remote-debugging-io-pipes, which start() adds. Its
// standard input and output lead nowhere. It runs apart from the terminal's or console's signals,
// in a group of its own (on Windows a job), so that a Ctrl+C reaches only this program, which
// then closes it, and so that ending it ends every process it started.
class BrowserProcess {
public:
    // Starts program with arguments, and, on top of this program's environment, environment's
    // NAME=value entries. On Linux, run as root, the browser gets --no-sandbox, without which
    // Chromium refuses to start.
    static std::variant<std::unique_ptr<BrowserProcess>, BrowserError> start(
        const QString &program, const QStringList &arguments, const QStringList &environment);
    // The folder that the browser's own temporary folder is made in: the system's, unless a browser
    // could not start from a folder of temporaryLength characters made there.
    static QString temporaryRoot(qsizetype temporaryLength);
    // Ends it, if it has not ended, and waits for it.
    ~BrowserProcess();
    BrowserProcess(const BrowserProcess &) = delete;
    BrowserProcess &operator=(const BrowserProcess &) = delete;

    // Sends all of bytes; false once the browser no longer reads them. One thread at a time.
    bool write(QByteArrayView bytes);
    // Waits for what the browser writes next: some bytes, or none once it has closed its end,
    // ending. One thread at a time, which may be another than the one writing.
    QByteArray read();
    // Waits up to milliseconds for it to end by itself; whether it has.
    bool waitForEnd(int milliseconds);
    // Ends it and every process it started, at once, and waits for it.
    void kill();
    // How it ended, for a person: "退出状态 1", "信号 SIGKILL"; empty while it runs.
    QString howItEnded();

    struct Native;  // what the platform holds of it

private:
    explicit BrowserProcess(std::unique_ptr<Native> native);
    std::unique_ptr<Native> native_;
};
