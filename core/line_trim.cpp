#include "core/line_trim.h"

#include <cstring>

QByteArray trimLines(QByteArrayView input) {
    // Each input byte gives at most two output bytes (a lone CR becomes CR LF), and a last line
    // without a line end gains two. Pages of this reservation that are never written are never
    // touched, so they cost address space only.
    QByteArray output(2 * input.size() + 2, Qt::Uninitialized);
    char *out = output.data();

    const char *p = input.data();
    const char *const end = p + input.size();
    while (p < end) {
        const auto *cr = static_cast<const char *>(std::memchr(p, '\r', end - p));
        const char *lineEnd = cr ? cr : end;

        const char *first = p;
        while (first < lineEnd && *first == ' ') ++first;
        const char *last = lineEnd;
        while (last > first && last[-1] == ' ') --last;

        std::memcpy(out, first, last - first);
        out += last - first;
        *out++ = '\r';
        *out++ = '\n';

        if (!cr) break;
        p = cr + 1;
        if (p < end && *p == '\n') ++p;
    }

    output.resize(out - output.constData());
    output.squeeze();
    return output;
}
