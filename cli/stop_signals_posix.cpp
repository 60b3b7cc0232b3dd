// Stop signals on Linux and other POSIX systems.
#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <atomic>
#include <thread>

#include "cli/stop_signals.h"

namespace {

std::atomic<int> stopRequested{0};

}  // namespace

void catchStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    // Blocked in this thread, and so in every thread started after it; one thread waits for them.
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // It only ever touches the flag, so it may be left waiting when the program ends. A signal
    // that comes after the first finds the run stopping already.
    std::jthread([set] {
        int signal = 0;
        if (sigwait(&set, &signal) == 0) stopRequested.store(signal);
    }).detach();
}

int stopSignal() {
    return stopRequested.load();
}

QString signalName(int signal) {
    const char *name = sigabbrev_np(signal);
    return QStringLiteral("SIG") + (name ? QString::fromLatin1(name) : QString::number(signal));
}
