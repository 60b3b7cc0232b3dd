#include "core/files/page_memory.h"

#include <sys/mman.h>
#include <unistd.h>

void releasePages(void *data, qsizetype size) {
    const auto pageMask = static_cast<quintptr>(sysconf(_SC_PAGESIZE)) - 1;
    const auto first = (reinterpret_cast<quintptr>(data) + pageMask) & ~pageMask;
    const auto last = (reinterpret_cast<quintptr>(data) + static_cast<quintptr>(size)) & ~pageMask;
    if (last > first) madvise(reinterpret_cast<void *>(first), last - first, MADV_DONTNEED);
}
