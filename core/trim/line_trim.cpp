#include "core/trim/line_trim.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "core/kernels/byte_block.h"
#include "core/kernels/kernel_level.h"
#include "core/trim/deep_trim.h"
#include "core/trim/line_trim_loops.h"
#include "core/trim/preserved_content.h"
#include "core/two_halves/two_halves.h"

namespace {

// The blocks of plain C++, which any processor takes.
struct PortableScan {
    static constexpr qsizetype kSize = byte_block::kSize;
    static constexpr unsigned kAll = byte_block::kAll;
    [[gnu::always_inline]] static unsigned matches(const char *p, char byte) {
        return byte_block::matches(p, byte);
    }
};

template <Into into>
TrimmedLines portableLoop(const char *page, const char *p, const char *end, char *out,
                          const ByteRange *first, const ByteRange *last) {
    return trimLinesWith<into, PortableScan>(page, p, end, out, first, last);
}

constexpr TrimLoops kPortableLoops{&portableLoop<Into::OwnBuffer>, &portableLoop<Into::SameBuffer>};

constexpr Kernel<const TrimLoops *> kTrimLoops{&kPortableLoops, ZEREDIZ_X86_64(&kAvx2TrimLoops)};

const TrimLoops &trimLoops() {
    return *kTrimLoops.chosen();
}

// The loop of a width for a part of a page, with the page's preserved content.
TrimmedLines trimPart(TrimLoops::Loop loop, const char *page, const char *from, const char *to,
                      char *out, const std::vector<ByteRange> &ranges) {
    return loop(page, from, to, out, ranges.data(), ranges.data() + ranges.size());
}

constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

// Behind spaces, a mark stands at the start of the trimmed page, where it is one when the page is
// opened again: so it is taken as one already, and the spaces go with the first line. At the deep
// level the same holds behind the tabs and the empty lines the page starts with, which go too.
// Copies the mark to out and answers where the page goes on, or answers p where there is no mark.
const char *takeByteOrderMark(const char *p, const char *end, char *&out,
                              TrimLevel level = TrimLevel::Standard) {
    const char *mark = skipSpaces<PortableScan>(p, end);
    if (level == TrimLevel::Deep) {
        while (mark < end && (*mark == ' ' || *mark == '\t' || *mark == '\r' || *mark == '\n'))
            ++mark;
    }
    if (!QByteArrayView(mark, end).startsWith(kByteOrderMark)) return p;
    out = std::copy(mark, mark + kByteOrderMark.size(), out);
    return mark + kByteOrderMark.size();
}

// Whether a page ends inside content whose spaces are kept: an element left open to the end, such
// as a pre, textarea or plaintext, shows a line end added there.
bool endsInKeptContent(const std::vector<ByteRange> &ranges, qsizetype size) {
    return !ranges.empty() && ranges.back().end == size;
}

// The line end that a last line without one gets.
char *endLastLine(char *out, bool linesEndWithLf) {
    if (!linesEndWithLf) *out++ = '\r';
    *out++ = '\n';
    return out;
}

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
        const TrimLoops &loops = trimLoops();
        const TrimLoops::Loop loop =
            into == Into::OwnBuffer ? loops.intoOwnBuffer : loops.intoSameBuffer;
        const TrimmedLines trimmed =
            trimPart(loop, page_, page_ + read_, page_ + end_, out, ranges_);
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

QByteArray trimLines(QByteArrayView input, const PageContext &context, TrimLevel level) {
    // Each input byte gives at most two output bytes (a lone CR becomes CR LF), and a last line
    // without a line end gains two. Pages of this reservation that are never written are never
    // touched, so they cost address space only; a block copied ahead of the output always fits.
    QByteArray output(2 * input.size() + 4, Qt::Uninitialized);
    const char *const page = input.data();
    const char *const end = page + input.size();
    char *out = output.data();
    const char *const p = takeByteOrderMark(page, end, out, level);
    const std::vector<ByteRange> ranges = preservedContent(input, context);
    const TrimmedLines trimmed =
        level == TrimLevel::Deep
            ? trimLinesDeeply(page, p, end, out, ranges,
                              preservedContent(input, context, Keeping::LineEnds))
            : trimPart(trimLoops().intoOwnBuffer, page, p, end, out, ranges);
    out = trimmed.out;
    if (trimmed.lastLineOpen && !endsInKeptContent(ranges, input.size()))
        out = endLastLine(out, endsLinesWithLf(input));
    output.resize(out - output.constData());
    output.squeeze();
    return output;
}

QByteArray trimLinesInPlace(QByteArray page, const PageContext &context) {
    const qsizetype middle =
        page.size() < kTwoCoresFrom ? page.size() : lineStartNear(page, page.size() / 2);
    return trimLinesInPlace(std::move(page), middle, context);
}

QByteArray trimLinesInPlace(QByteArray page, qsizetype middle, const PageContext &context) {
    char *const data = page.data();  // detached, so that the page's bytes stay where they are
    const qsizetype size = page.size();
    const std::vector<ByteRange> ranges = preservedContent(page, context);
    const bool linesEndWithLf = endsLinesWithLf(page);
    PartTrim first(data, 0, middle, ranges);
    PartTrim second(data, middle, size, ranges);
    first.takeByteOrderMark();
    // The two parts of a big page on two cores take about a fifth less than one part on one.
    inTwoHalves(
        size, [&first] { first.trim(); }, [&second] { second.trim(); });
    const bool lastLineOpen = (middle < size ? second.lastLineOpen() : first.lastLineOpen()) &&
                              !endsInKeptContent(ranges, size);

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
    const char *lineEnd = findLineEnd<PortableScan>(page.data() + position, end);
    // Behind a CR, the line starts behind the LF that may follow it.
    if (lineEnd < end && *lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n') ++lineEnd;
    return lineEnd < end ? lineEnd + 1 - page.data() : page.size();
}

bool endsLinesWithLf(QByteArrayView page) {
    return !page.contains('\r') && page.contains('\n');
}
