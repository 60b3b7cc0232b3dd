#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

// Wall-clock seconds that work takes.
template <typename Work>
double secondsOf(Work &&work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

inline double median(std::vector<double> seconds) {
    std::sort(seconds.begin(), seconds.end());
    const std::size_t middle = seconds.size() / 2;
    return seconds.size() % 2 ? seconds[middle] : (seconds[middle - 1] + seconds[middle]) / 2;
}

// The median of repeated samples: one slow run, caused by another process, does not move it.
// sample returns the seconds of one run, so that it can exclude its own preparation. A first run
// is not counted: it pays once for what later runs reuse (memory the virtual machine's host has
// not handed out yet, code and data not yet in the caches).
template <typename Sample>
double medianOf(int repetitions, Sample &&sample) {
    sample();
    std::vector<double> seconds;
    for (int i = 0; i < repetitions; ++i) seconds.push_back(sample());
    return median(std::move(seconds));
}

// The medians of several samples taken in turn, one of each per round, with a first round not
// counted. A phase in which the machine is slower weighs on all of them alike, so that the ratios
// between them stay steady.
inline std::vector<double> interleavedMedians(int rounds,
                                              const std::vector<std::function<double()>> &samples) {
    std::vector<std::vector<double>> seconds(samples.size());
    for (int round = 0; round <= rounds; ++round) {
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const double taken = samples[i]();
            if (round > 0) seconds[i].push_back(taken);
        }
    }
    std::vector<double> medians;
    for (auto &column : seconds) medians.push_back(median(std::move(column)));
    return medians;
}
