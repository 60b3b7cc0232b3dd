#pragma once

#include <QtGlobal>

// Tells the system that the whole pages of [data, data + size) hold nothing of value any more, so
// that it may take them back while the buffer they belong to lives on; read again, they hold
// zeros. Only a hint: where the system takes no such hint, nothing changes. Each platform has its
// own file of it (page_memory_posix.cpp, ...).
void releasePages(void *data, qsizetype size);
