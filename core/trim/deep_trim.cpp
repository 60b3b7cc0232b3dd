#include "core/trim/deep_trim.h"

#include <algorithm>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

// A line at a time, in plain C++: the deep trim is asked for site by site, where reading and
// writing the pages take longer than trimming them.
TrimmedLines trimLinesDeeply(const char *page, const char *p, const char *end, char *out,
                             const std::vector<ByteRange> &kept,
                             const std::vector<ByteRange> &keptLineEnds) {
    PreservedRanges keptBlanks(kept.data(), kept.data() + kept.size());
    PreservedRanges keptEnds(keptLineEnds.data(), keptLineEnds.data() + keptLineEnds.size());
    while (p < end) {
        const char *const lineEnd = std::find_if(p, end, isLineEnd);
        // A run of blanks at either end of a line lies wholly inside or wholly outside what is
        // kept, which starts behind a byte that is no blank and ends at one: its first byte tells.
        const char *first = p;
        if (!keptBlanks.covers(p - page)) first = std::find_if_not(p, lineEnd, isBlank);
        const char *last = lineEnd;
        while (last > first && isBlank(last[-1])) --last;
        if (last < lineEnd && keptBlanks.covers(last - page)) last = lineEnd;
        const bool empty = first == last;
        if (lineEnd == end) {
            out = std::copy(first, last, out);
            return {out, end, !empty};
        }
        const qsizetype at = lineEnd - page;
        // Asked in this order, so that each set of stretches is asked about rising positions.
        const bool keepsLineEnd = !empty || keptBlanks.covers(at) || keptEnds.covers(at);
        const bool crLf = *lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n';
        if (keepsLineEnd) {
            out = std::copy(first, last, out);
            if (*lineEnd == '\r') *out++ = '\r';
            *out++ = '\n';
        }
        p = lineEnd + (crLf ? 2 : 1);
    }
    return {out, p, false};
}
