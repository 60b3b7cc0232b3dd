#include "core/line_trim.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "core/byte_block.h"
#include "core/huge_pages.h"
#include "core/preserved_content.h"

namespace {

// Lines of a page are short, so finding the ends of a line must cost few instructions per line,
// not just per byte: the scans look at a block of bytes at a time.
using byte_block::kSize;

constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

// The scans below are the inner loops of both ways of trimming and must be inlined into each.
#define ZEREDIZ_INLINE [[gnu::always_inline]] inline

ZEREDIZ_INLINE const char *skipSpaces(const char *p, const char *end) {
    for (; end - p >= kSize; p += kSize) {
        if (const unsigned others = ~byte_block::matches(p, ' ') & byte_block::kAll)
            return p + std::countr_zero(others);
    }
    while (p < end && *p == ' ') ++p;
    return p;
}

// Copies the bytes before the next CR or LF (or the end) to out, a block at a time: out has room
// for the block that holds the line end, whose bytes behind it are overwritten later. Returns
// where the copy stopped in the input; out is moved behind the copied bytes.
ZEREDIZ_INLINE const char *copyToLineEnd(const char *p, const char *end, char *&out) {
    for (; end - p >= kSize; p += kSize, out += kSize) {
        std::memcpy(out, p, kSize);
        if (const unsigned ends = byte_block::matches(p, '\r') | byte_block::matches(p, '\n')) {
            const int length = std::countr_zero(ends);
            out += length;
            return p + length;
        }
    }
    while (p < end && *p != '\r' && *p != '\n') *out++ = *p++;
    return p;
}

// Where the bytes from first to end stop when the spaces at their end are left out.
ZEREDIZ_INLINE const char *withoutTrailingSpaces(const char *first, const char *end) {
    for (; end - first >= kSize; end -= kSize) {
        if (const unsigned others = ~byte_block::matches(end - kSize, ' ') & byte_block::kAll)
            return end - kSize + std::bit_width(others);
    }
    while (end > first && end[-1] == ' ') --end;
    return end;
}

// A page without preserved content: every line loses the spaces at both of its ends.
struct NothingPreserved {
    bool covers(qsizetype) const { return false; }
};

// The preserved content of a page, asked about positions in increasing order. Most lines lie
// before the next range, which one comparison tells.
class PreservedRanges {
public:
    explicit PreservedRanges(const std::vector<ByteRange> &ranges)
        : next_(ranges.data()), last_(ranges.data() + ranges.size()) {
        take();
    }

    bool covers(qsizetype position) {
        while (position >= range_.end) {
            ++next_;
            take();
        }
        return position >= range_.begin;
    }

private:
    void take() {
        constexpr qsizetype kNever = std::numeric_limits<qsizetype>::max();
        range_ = next_ < last_ ? *next_ : ByteRange{kNever, kNever};
    }

    const ByteRange *next_;
    const ByteRange *last_;
    ByteRange range_;
};

struct TrimmedLines {
    char *out;
    bool lastLineOpen;  // the input ended inside a line, which has no line end yet
};

// Trims the lines from p to end into out. A run of spaces at either end of a line lies wholly
// inside or wholly outside preserved content, which starts behind a > and ends at a <; so where
// its first space is tells for all of it. Positions count from page.
template <typename Preserved>
TrimmedLines trimLinesInto(const char *page, const char *p, const char *end, char *out,
                           Preserved preserved) {
    while (p < end) {
        char *const lineStart = out;
        // Asked whether or not there are spaces, so that the answers, mostly no, are foreseeable.
        const char *const first = preserved.covers(p - page) ? p : skipSpaces(p, end);
        p = copyToLineEnd(first, end, out);
        const char *const trailing = withoutTrailingSpaces(first, p);
        const char *const kept = preserved.covers(trailing - page) ? p : trailing;
        out = lineStart + (kept - first);

        if (p == end) return {out, true};
        if (*p == '\n') {
            *out++ = '\n';
            ++p;
            continue;
        }
        *out++ = '\r';
        *out++ = '\n';
        ++p;  // the CR
        if (p < end && *p == '\n') ++p;
    }
    return {out, false};
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
    // Behind spaces, a mark stands at the start of the trimmed page, where it is one when the
    // page is opened again: so it is taken as one already, and the spaces go with the first line.
    if (const char *mark = skipSpaces(p, end);
        QByteArrayView(mark, end).startsWith(kByteOrderMark)) {
        out = std::copy(mark, mark + kByteOrderMark.size(), out);
        p = mark + kByteOrderMark.size();
    }
    const std::vector<ByteRange> preserved = preservedContent(input);
    const TrimmedLines trimmed =
        preserved.empty() ? trimLinesInto(input.data(), p, end, out, NothingPreserved{})
                          : trimLinesInto(input.data(), p, end, out, PreservedRanges(preserved));
    out = trimmed.out;
    if (trimmed.lastLineOpen) {
        if (!endsLinesWithLf(input)) *out++ = '\r';
        *out++ = '\n';
    }

    output.resize(out - output.constData());
    output.squeeze();
    return output;
}

bool endsLinesWithLf(QByteArrayView page) {
    return !page.contains('\r') && page.contains('\n');
}
