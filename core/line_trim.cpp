#include "core/line_trim.h"

#include <bit>
#include <cstring>

#include "core/byte_block.h"
#include "core/huge_pages.h"

namespace {

// Lines of a page are short, so finding the ends of a line must cost few instructions per line,
// not just per byte: the scans look at a block of bytes at a time.
using byte_block::kSize;

const char *skipSpaces(const char *p, const char *end) {
    for (; end - p >= kSize; p += kSize) {
        if (const unsigned others = ~byte_block::matches(p, ' ') & byte_block::kAll)
            return p + std::countr_zero(others);
    }
    while (p < end && *p == ' ') ++p;
    return p;
}

// Copies the bytes before the next CR (or the end) to out, a block at a time: out has room for
// the block that holds the CR, whose bytes behind it are overwritten later. Returns where the copy
// stopped in the input; out is moved behind the copied bytes.
const char *copyToLineEnd(const char *p, const char *end, char *&out) {
    for (; end - p >= kSize; p += kSize, out += kSize) {
        std::memcpy(out, p, kSize);
        if (const unsigned crs = byte_block::matches(p, '\r')) {
            const int length = std::countr_zero(crs);
            out += length;
            return p + length;
        }
    }
    while (p < end && *p != '\r') *out++ = *p++;
    return p;
}

// Where the bytes from first to end stop when the spaces at their end are left out.
const char *withoutTrailingSpaces(const char *first, const char *end) {
    for (; end - first >= kSize; end -= kSize) {
        if (const unsigned others = ~byte_block::matches(end - kSize, ' ') & byte_block::kAll)
            return end - kSize + std::bit_width(others);
    }
    while (end > first && end[-1] == ' ') --end;
    return end;
}

}  // namespace

QByteArray trimLines(QByteArrayView input) {
    // Each input byte gives at most two output bytes (a lone CR becomes CR LF), and a last line
    // without a line end gains two. Pages of this reservation that are never written are never
    // touched, so they cost address space only. A block copied ahead of the output therefore
    // always fits: it lies within the output of bytes not yet read.
    QByteArray output(2 * input.size() + 2, Qt::Uninitialized);
    adviseHugePages(output.data(), output.size());
    char *out = output.data();

    const char *p = input.data();
    const char *const end = p + input.size();
    while (p < end) {
        char *const lineStart = out;
        const char *const first = skipSpaces(p, end);
        p = copyToLineEnd(first, end, out);
        out = lineStart + (withoutTrailingSpaces(first, p) - first);
        *out++ = '\r';
        *out++ = '\n';

        if (p == end) break;
        ++p;  // the CR
        if (p < end && *p == '\n') ++p;
    }

    output.resize(out - output.constData());
    output.squeeze();
    return output;
}
