#include "core/file_size_limit.h"

#include <sys/resource.h>
#include <csignal>

void ignoreFileSizeSignal() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

bool fileSizeLimitAllows(qint64 length) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
    return static_cast<rlim_t>(length) <= limit.rlim_cur;
}
