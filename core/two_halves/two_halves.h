#pragma once

#include <QtGlobal>
#include <system_error>
#include <thread>

// Work on a big page done in two halves at once, on two cores. Below this size a second thread
// costs more than it saves, and most pages people have are far below it.
inline constexpr qsizetype kTwoCoresFrom = qsizetype{1} << 20;

// Runs first and second, at once on two threads for work of size bytes or more, one after the
// other for less or where no thread can be had. Both have run when it returns.
template <typename First, typename Second>
void inTwoHalves(qsizetype size, First &&first, Second &&second) {
    if (size < kTwoCoresFrom) {
        first();
        second();
        return;
    }
    std::jthread other;
    try {
        other = std::jthread([&second] { second(); });
    } catch (const std::system_error &) {
        second();
    }
    first();
}
