// Stop signals on Windows: the console's control events, which it delivers on a thread of their
// own.
#include <windows.h>
#include <atomic>
#include <csignal>

#include "cli/stop_signals.h"

namespace {

// The numbers the events go by, so that the run ends with 128 + the number as on Linux: Ctrl+C is
// SIGINT and Ctrl+Break SIGBREAK, as Windows' C library numbers them, and a closed console window
// (or the user logging off, or the system shutting down) is the terminal gone, SIGHUP's 1.
constexpr int kConsoleGone = 1;

std::atomic<int> stopRequested{0};

BOOL WINAPI noteStop(DWORD event) {
    int signal = kConsoleGone;
    if (event == CTRL_C_EVENT) signal = SIGINT;
    if (event == CTRL_BREAK_EVENT) signal = SIGBREAK;
    // An event that comes after the first finds the run stopping already.
    int none = 0;
    stopRequested.compare_exchange_strong(none, signal);
    // Windows ends the process as soon as this returns from the console's going away, and a few
    // seconds later in any case. Until then the pages under way are finished: this thread waits
    // for good, and the process ends when the run returns from main.
    if (signal == kConsoleGone) ::Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void catchStopSignals() {
    ::SetConsoleCtrlHandler(noteStop, TRUE);
}

int stopSignal() {
    return stopRequested.load();
}

QString signalName(int signal) {
    switch (signal) {
        case SIGINT:
            return QStringLiteral("Ctrl+C");
        case SIGBREAK:
            return QStringLiteral("Ctrl+Break");
        case kConsoleGone:
            return QStringLiteral("控制台已关闭");
        default:
            return QString::number(signal);
    }
}
