#pragma once

#include <sys/mman.h>
#include <unistd.h>
#include <QtGlobal>

// Asks the kernel to back the whole pages of [data, data + size) with huge pages where it can. A
// large buffer that is filled once from start to end then costs one page fault per 2 MiB instead of
// one per 4 KiB; on a virtual machine those faults are most of the time that filling it takes.
// Only a hint: where huge pages are off or unknown nothing changes.
inline void adviseHugePages(void *data, qsizetype size) {
#ifdef MADV_HUGEPAGE
    constexpr qsizetype kHugePage = qsizetype{2} << 20;
    if (size < kHugePage) return;
    const auto pageMask = static_cast<quintptr>(sysconf(_SC_PAGESIZE)) - 1;
    const auto first = (reinterpret_cast<quintptr>(data) + pageMask) & ~pageMask;
    const auto last = (reinterpret_cast<quintptr>(data) + static_cast<quintptr>(size)) & ~pageMask;
    if (last > first) madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}
