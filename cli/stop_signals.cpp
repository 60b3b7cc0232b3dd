#include "cli/stop_signals.h"

#include <pthread.h>
#include <atomic>
#include <csignal>
#include <thread>

namespace {

std::atomic<int> stopRequested{0};

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    return set;
}

}  // namespace

void catchStopSignals() {
    const sigset_t set = stopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // It only ever touches the flag, so it may be left waiting when the program ends. A signal
    // that comes after the first finds the run stopping already.
    std::thread([set] {
        int signal = 0;
        if (sigwait(&set, &signal) == 0) stopRequested.store(signal);
    }).detach();
}

int stopSignal() {
    return stopRequested.load();
}
