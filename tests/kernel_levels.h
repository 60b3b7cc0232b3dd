#pragma once

#include <QTest>

#include "core/kernels/kernel_level.h"

// A test of the kernels runs once for each level (ZEREDIZ_KERNELS, see tests/CMakeLists.txt). Where
// the processor lacks the level named, the kernels would run a lower one, which its own run
// covers: the test skips instead, for initTestCase to say.
#define SKIP_WHERE_THE_PROCESSOR_LACKS_THE_NAMED_KERNEL_LEVEL()                      \
    do {                                                                             \
        const auto named = namedKernelLevel();                                       \
        if (named && kernelLevel() != *named)                                        \
            QSKIP(qPrintable(QStringLiteral("this processor has no %1 kernels")      \
                                 .arg(QLatin1StringView(kernelLevelName(*named))))); \
        qInfo("kernels at level %s", kernelLevelName(kernelLevel()).data());         \
    } while (false)
