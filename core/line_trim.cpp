#include "core/line_trim.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <future>
#include <limits>
#include <vector>

#include "core/byte_block.h"
#include "core/page_file.h"
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

// Below this size a second thread costs more than it saves.
constexpr qsizetype kTwoCoresFrom = qsizetype{1} << 20;

// One part of a page, from a line start to the next part or the end, trimmed in the page's buffer
// as trimLinesInPlace says: its result grows from the part's start, or, once a lone CR found no
// room, goes on in a buffer of its own. Two parts of a page can be trimmed at once on two threads,
// since each writes only from its own start on.
class PartTrim {
public:
    PartTrim(char *page, qsizetype begin, qsizetype end, const std::vector<ByteRange> &ranges)
        : page_(page), begin_(begin), end_(end), read_(begin), ranges_(ranges) {}

    // Takes a byte-order mark at the part's start, as the first part of a page does.
    void takeByteOrderMark() {
        char *out = page_ + begin_;
        read_ = ::takeByteOrderMark(page_ + read_, page_ + end_, out) - page_;
        length_ = out - (page_ + begin_);
    }

    void trim() {
        length_ = trimFrom<Into::SameBuffer>(page_ + begin_ + length_) - (page_ + begin_);
        if (read_ == end_) return;
        spill_ = QByteArray(length_ + 2 * (end_ - read_) + 2, Qt::Uninitialized);
        std::memcpy(spill_.data(), page_ + begin_, std::size_t(length_));
        length_ = trimFrom<Into::OwnBuffer>(spill_.data() + length_) - spill_.constData();
    }

    QByteArrayView result() const {
        return {spill_.isNull() ? page_ + begin_ : spill_.constData(), length_};
    }
    bool spilled() const { return !spill_.isNull(); }
    QByteArray &spill() { return spill_; }
    bool lastLineOpen() const { return lastLineOpen_; }

private:
    // Trims from where the part was read to into out, and answers where the output ends.
    template <Into into>
    char *trimFrom(char *out) {
        TrimmedLines trimmed;
        if (ranges_.empty()) {
            NothingPreserved preserved;
            trimmed = trimLinesInto<into>(page_, page_ + read_, page_ + end_, out, preserved);
        } else {
            PreservedRanges preserved(ranges_);
            trimmed = trimLinesInto<into>(page_, page_ + read_, page_ + end_, out, preserved);
        }
        read_ = trimmed.in - page_;
        lastLineOpen_ = trimmed.lastLineOpen;
        return trimmed.out;
    }

    char *page_;
    qsizetype begin_;
    qsizetype end_;
    qsizetype read_;
    qsizetype length_ = 0;
    QByteArray spill_;
    bool lastLineOpen_ = false;
    const std::vector<ByteRange> &ranges_;
};

}  // namespace

QByteArray trimLines(QByteArrayView input) {
    const qsizetype middle =
        input.size() < kTwoCoresFrom ? input.size() : lineStartNear(input, input.size() / 2);
    return trimLines(input, middle);
}

QByteArray trimLines(QByteArrayView input, qsizetype middle) {
    // Each input byte gives at most two output bytes (a lone CR becomes CR LF), and a last line
    // without a line end gains two. Pages of this reservation that are never written are never
    // touched, so they cost address space only. A block copied ahead of the output therefore
    // always fits: it lies within the output of bytes not yet read. So the second part's result
    // can be made at once, behind the most that the first part's can take, and then moves down
    // behind it.
    QByteArray output(2 * input.size() + 4, Qt::Uninitialized);
    adviseHugePages(output.data(), output.size());
    const char *const page = input.data();
    const char *const half = page + middle;
    const char *const end = page + input.size();
    char *out = output.data();
    char *const secondOut = out + 2 * middle + 2;

    const char *const p = takeByteOrderMark(page, half, out);
    const std::vector<ByteRange> ranges = preservedContent(input);
    const auto trimPart = [&](const char *from, const char *to, char *into) {
        if (ranges.empty()) {
            NothingPreserved preserved;
            return trimLinesInto<Into::OwnBuffer>(page, from, to, into, preserved);
        }
        PreservedRanges preserved(ranges);
        return trimLinesInto<Into::OwnBuffer>(page, from, to, into, preserved);
    };
    // A small page is trimmed part after part. Where no thread can be had, the second part is
    // trimmed when get() asks for it.
    const auto policy = input.size() < kTwoCoresFrom ? std::launch::deferred
                                                     : std::launch::async | std::launch::deferred;
    auto second = std::async(policy, [&] { return trimPart(half, end, secondOut); });
    const TrimmedLines first = trimPart(p, half, out);
    const TrimmedLines rest = second.get();
    out = first.out;
    bool lastLineOpen = first.lastLineOpen;
    if (half < end) {
        out = std::copy(secondOut, rest.out, out);
        lastLineOpen = rest.lastLineOpen;
    }
    if (lastLineOpen) out = endLastLine(out, endsLinesWithLf(input));

    output.resize(out - output.constData());
    output.squeeze();
    return output;
}

QByteArray trimLinesInPlace(QByteArray page) {
    const qsizetype middle =
        page.size() < kTwoCoresFrom ? page.size() : lineStartNear(page, page.size() / 2);
    return trimLinesInPlace(std::move(page), middle);
}

QByteArray trimLinesInPlace(QByteArray page, qsizetype middle) {
    char *const data = page.data();  // detached, so that the page's bytes stay where they are
    const qsizetype size = page.size();
    const std::vector<ByteRange> ranges = preservedContent(page);
    const bool linesEndWithLf = endsLinesWithLf(page);
    PartTrim first(data, 0, middle, ranges);
    PartTrim second(data, middle, size, ranges);
    first.takeByteOrderMark();
    // A small page is trimmed part after part. Where no thread can be had, the second part is
    // trimmed when get() asks for it.
    const auto policy =
        size < kTwoCoresFrom ? std::launch::deferred : std::launch::async | std::launch::deferred;
    auto secondDone = std::async(policy, [&second] { second.trim(); });
    first.trim();
    secondDone.get();
    const bool lastLineOpen = middle < size ? second.lastLineOpen() : first.lastLineOpen();

    // The second part's result goes behind the first's: within the page's buffer it only moves
    // down, and whatever lies elsewhere is copied. Only then may the result grow, for a last
    // line end, and a big buffer grows where it lies.
    QByteArray &result = first.spilled() ? first.spill() : page;
    const qsizetype length = first.result().size();
    const QByteArrayView rest = second.result();
    qsizetype end = length + rest.size();
    if (!second.spilled() && &result == &page) {
        std::memmove(data + length, rest.data(), std::size_t(rest.size()));
    } else {
        if (result.size() < end) result.resize(end);
        std::memcpy(result.data() + length, rest.data(), std::size_t(rest.size()));
    }
    if (lastLineOpen) {
        if (result.size() < end + 2) result.resize(end + 2);
        end = endLastLine(result.data() + end, linesEndWithLf) - result.constData();
    }
    result.resize(end);
    return std::move(result);
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
