#include "core/files/page_memory.h"

// Windows takes pages back with DiscardVirtualMemory only from 8.1 on; the hint is left out.
void releasePages(void *, qsizetype) {}
