#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdio>
#include <cstdlib>

// Stops the fuzz run where a rule does not hold, with the input that breaks it; libFuzzer then
// saves that input as a finding.
inline void require(bool holds, QByteArrayView input, const char *path, const char *rule) {
    if (holds) return;
    std::fprintf(stderr, "%s: %s\ninput (%lld bytes): %s\n", path, rule,
                 static_cast<long long>(input.size()), input.toByteArray().toHex(' ').constData());
    std::abort();
}
