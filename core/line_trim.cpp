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

// Where the next CR or LF from p is, or end.
ZEREDIZ_INLINE const char *findLineEnd(const char *p, const char *end) {
    for (; end - p >= kSize; p += kSize) {
        if (const unsigned ends = byte_block::matches(p, '\r') | byte_block::matches(p, '\n'))
            return p + std::countr_zero(ends);
    }
    while (p < end && *p != '\r' && *p != '\n') ++p;
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
    // Asked from a position on that lies behind the first passed ranges.
    explicit PreservedRanges(const std::vector<ByteRange> &ranges, std::size_t passed = 0)
        : next_(ranges.data() + passed), last_(ranges.data() + ranges.size()) {
        take();
    }

    // How many ranges lie behind the positions asked about.
    std::size_t passed(const std::vector<ByteRange> &ranges) const {
        return std::size_t(next_ - ranges.data());
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
    const char *in;     // where the trim stopped: the end, or a lone CR that found no room
    bool lastLineOpen;  // the input ended inside a line, which has no line end yet
};

// Where the trimmed lines go: to a buffer of their own, or over the input they come from, behind
// the bytes still to be read.
enum class Into { OwnBuffer, SameBuffer };

// Trims the lines from p to end into out. A run of spaces at either end of a line lies wholly
// inside or wholly outside preserved content, which starts behind a > and ends at a <; so where
// its first space is tells for all of it. Positions count from page.
//
// In the same buffer, out never passes p: a line only loses bytes, and CR LF stays as long. A lone
// CR gains a LF, which needs a byte that an earlier line gave up; where there is none, the trim
// stops at that CR. A block copied ahead of the line end may overwrite input that is still to be
// read, so blocks are copied only while out stays a block behind; nearer, the line is found first
// and moved as a whole.
template <Into into, typename Preserved>
TrimmedLines trimLinesInto(const char *page, const char *p, const char *end, char *out,
                           Preserved &preserved) {
    while (p < end) {
        char *const lineStart = out;
        // Asked whether or not there are spaces, so that the answers, mostly no, are foreseeable.
        const char *const first = preserved.covers(p - page) ? p : skipSpaces(p, end);
        if (into == Into::OwnBuffer || first - out >= kSize) {
            p = copyToLineEnd(first, end, out);
        } else {
            p = findLineEnd(first, end);
            if (out != first) std::memmove(out, first, std::size_t(p - first));
            out += p - first;
        }
        // The line's bytes now stand in the output as they were: the input may be overwritten.
        const char *const trailing = withoutTrailingSpaces(lineStart, out);
        if (!preserved.covers(first + (trailing - lineStart) - page))
            out = lineStart + (trailing - lineStart);

        if (p == end) return {out, p, true};
        if (*p == '\n') {
            *out++ = '\n';
            ++p;
            continue;
        }
        const bool crLf = p + 1 < end && p[1] == '\n';
        if (into == Into::SameBuffer && !crLf && out + 2 > p + 1) return {out, p, false};
        *out++ = '\r';
        *out++ = '\n';
        p += crLf ? 2 : 1;
    }
    return {out, p, false};
}

// Behind spaces, a mark stands at the start of the trimmed page, where it is one when the page is
// opened again: so it is taken as one already, and the spaces go with the first line. Copies the
// mark to out and answers where the page goes on, or answers p where there is no mark.
const char *takeByteOrderMark(const char *p, const char *end, char *&out) {
    const char *mark = skipSpaces(p, end);
    if (!QByteArrayView(mark, end).startsWith(kByteOrderMark)) return p;
    out = std::copy(mark, mark + kByteOrderMark.size(), out);
    return mark + kByteOrderMark.size();
}

// The line end that a last line without one gets.
char *endLastLine(char *out, bool linesEndWithLf) {
    if (!linesEndWithLf) *out++ = '\r';
    *out++ = '\n';
    return out;
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

    const char *const end = input.data() + input.size();
    const char *const p = takeByteOrderMark(input.data(), end, out);
    const std::vector<ByteRange> ranges = preservedContent(input);
    TrimmedLines trimmed;
    if (ranges.empty()) {
        NothingPreserved preserved;
        trimmed = trimLinesInto<Into::OwnBuffer>(input.data(), p, end, out, preserved);
    } else {
        PreservedRanges preserved(ranges);
        trimmed = trimLinesInto<Into::OwnBuffer>(input.data(), p, end, out, preserved);
    }
    out = trimmed.out;
    if (trimmed.lastLineOpen) out = endLastLine(out, endsLinesWithLf(input));

    output.resize(out - output.constData());
    output.squeeze();
    return output;
}

InPlaceTrim::InPlaceTrim(QByteArray page)
    : buffer_(std::move(page)),
      ranges_(preservedContent(buffer_)),
      linesEndWithLf_(endsLinesWithLf(buffer_)) {
    char *out = buffer_.data();  // detached, so that the page's bytes stay where they are
    read_ = takeByteOrderMark(out, out + buffer_.size(), out) - buffer_.constData();
    written_ = out - buffer_.constData();
}

QByteArrayView InPlaceTrim::result() const {
    return spill_.isNull() ? QByteArrayView(buffer_.constData(), written_)
                           : QByteArrayView(spill_.constData(), written_);
}

void InPlaceTrim::trimTo(qsizetype position) {
    if (position <= read_) return;
    const char *const page = buffer_.constData();
    const char *const end = page + position;
    const auto trim = [&](auto into, char *out) {
        const char *const from = page + read_;
        TrimmedLines trimmed;
        if (ranges_.empty()) {
            NothingPreserved preserved;
            trimmed = trimLinesInto<decltype(into)::value>(page, from, end, out, preserved);
        } else {
            PreservedRanges preserved(ranges_, rangesPassed_);
            trimmed = trimLinesInto<decltype(into)::value>(page, from, end, out, preserved);
            rangesPassed_ = preserved.passed(ranges_);
        }
        read_ = trimmed.in - page;
        lastLineOpen_ = trimmed.lastLineOpen;
        return trimmed.out;
    };
    using SameBuffer = std::integral_constant<Into, Into::SameBuffer>;
    using OwnBuffer = std::integral_constant<Into, Into::OwnBuffer>;
    if (spill_.isNull()) {
        written_ = trim(SameBuffer{}, buffer_.data() + written_) - page;
        if (read_ == position) return;
        // A lone CR found no room: the rest goes to a buffer of its own, as trimLines does.
        spill_ = QByteArray(written_ + 2 * (buffer_.size() - read_) + 2, Qt::Uninitialized);
        std::memcpy(spill_.data(), page, std::size_t(written_));
    }
    written_ = trim(OwnBuffer{}, spill_.data() + written_) - spill_.constData();
}

QByteArray InPlaceTrim::finish() {
    trimTo(buffer_.size());
    QByteArray &result = spill_.isNull() ? buffer_ : spill_;
    if (lastLineOpen_) {
        // In place, the buffer may lack the two bytes; a big one grows where it lies.
        if (result.size() < written_ + 2) result.resize(written_ + 2);
        written_ = endLastLine(result.data() + written_, linesEndWithLf_) - result.constData();
    }
    result.resize(written_);
    QByteArray done = std::move(result);
    buffer_ = QByteArray();
    spill_ = QByteArray();
    return done;
}

qsizetype lineStartNear(QByteArrayView page, qsizetype position) {
    const char *const end = page.data() + page.size();
    const char *lineEnd = findLineEnd(page.data() + position, end);
    // Behind a CR, the line starts behind the LF that may follow it.
    if (lineEnd < end && *lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n') ++lineEnd;
    return lineEnd < end ? lineEnd + 1 - page.data() : page.size();
}

bool endsLinesWithLf(QByteArrayView page) {
    return !page.contains('\r') && page.contains('\n');
}
