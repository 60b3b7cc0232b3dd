#pragma once

#include <QtGlobal>
#include <cstddef>
#include <limits>

#include "core/trim/preserved_content.h"

// The inner loops of the trim, written once for blocks of bytes of any width and compiled once
// per width, each in a file of its own built for the instructions that width needs. Lines of a
// page are short, so finding the ends of a line must cost few instructions per line, not just
// per byte.

// Where the trimmed lines go: to a buffer of their own, or over the input they come from, behind
// the bytes still to be read.
enum class Into { OwnBuffer, SameBuffer };

struct TrimmedLines {
    char *out;
    const char *in;     // where the trim stopped: the end, or a lone CR that found no room
    bool lastLineOpen;  // the input ended inside a line, which has no line end yet
};

// The loops of one width. Each trims the lines from p to end into out, as trimLinesInto below
// says; the preserved content of the page is given as the ranges from first to last.
struct TrimLoops {
    using Loop = TrimmedLines (*)(const char *page, const char *p, const char *end, char *out,
                                  const ByteRange *first, const ByteRange *last);
    Loop intoOwnBuffer;
    Loop intoSameBuffer;
};

// The loops for processors with AVX2, in a file of their own, built for those instructions.
extern const TrimLoops kAvx2TrimLoops;

// Everything below is compiled into each file that includes it, for that file's instructions,
// and must not be shared between them: so it has internal linkage, and calls no function of a
// library that a file built for wider instructions could emit in its own way.
namespace {

// A Scan type tells the width (kSize), the mask of a whole block (kAll) and the bytes of the
// block at p that equal a byte, as a mask whose bit i stands for byte i (matches).

[[gnu::always_inline]] inline int firstBit(unsigned mask) {
    return __builtin_ctz(mask);
}
[[gnu::always_inline]] inline int firstBit(unsigned long long mask) {
    return __builtin_ctzll(mask);
}

// One behind the last set bit.
[[gnu::always_inline]] inline int bitWidth(unsigned mask) {
    return 32 - __builtin_clz(mask);
}
[[gnu::always_inline]] inline int bitWidth(unsigned long long mask) {
    return 64 - __builtin_clzll(mask);
}

template <typename Scan>
[[gnu::always_inline]] inline const char *skipSpaces(const char *p, const char *end) {
    for (; end - p >= Scan::kSize; p += Scan::kSize) {
        if (const auto others = ~Scan::matches(p, ' ') & Scan::kAll) return p + firstBit(others);
    }
    while (p < end && *p == ' ') ++p;
    return p;
}

// Copies the bytes before the next CR or LF (or the end) to out, a block at a time: out has room
// for the block that holds the line end, whose bytes behind it are overwritten later. Returns
// where the copy stopped in the input; out is moved behind the copied bytes.
template <typename Scan>
[[gnu::always_inline]] inline const char *copyToLineEnd(const char *p, const char *end,
                                                        char *&out) {
    for (; end - p >= Scan::kSize; p += Scan::kSize, out += Scan::kSize) {
        __builtin_memcpy(out, p, Scan::kSize);
        if (const auto ends = Scan::matches(p, '\r') | Scan::matches(p, '\n')) {
            const int length = firstBit(ends);
            out += length;
            return p + length;
        }
    }
    while (p < end && *p != '\r' && *p != '\n') *out++ = *p++;
    return p;
}

// Where the next CR or LF from p is, or end.
template <typename Scan>
[[gnu::always_inline]] inline const char *findLineEnd(const char *p, const char *end) {
    for (; end - p >= Scan::kSize; p += Scan::kSize) {
        if (const auto ends = Scan::matches(p, '\r') | Scan::matches(p, '\n'))
            return p + firstBit(ends);
    }
    while (p < end && *p != '\r' && *p != '\n') ++p;
    return p;
}

// Where the bytes from first to end stop when the spaces at their end are left out. The bytes
// from floor to first lie in the same buffer and may be read too, so that a line shorter than a
// block, as most are, is looked at in one block as well: a line in the output follows the line end
// of the line before it, which is no space, so no byte of an earlier line is taken for its own.
template <typename Scan>
[[gnu::always_inline]] inline const char *withoutTrailingSpaces(const char *floor,
                                                                const char *first,
                                                                const char *end) {
    if (end - first < Scan::kSize && end - floor >= Scan::kSize) {
        const char *const block = end - Scan::kSize;
        return block + bitWidth(~Scan::matches(block, ' ') & Scan::kAll);
    }
    for (; end - first >= Scan::kSize; end -= Scan::kSize) {
        if (const auto others = ~Scan::matches(end - Scan::kSize, ' ') & Scan::kAll)
            return end - Scan::kSize + bitWidth(others);
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
    PreservedRanges(const ByteRange *first, const ByteRange *last) : next_(first), last_(last) {
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

// Trims the lines from p to end into out. A run of spaces at either end of a line lies wholly
// inside or wholly outside preserved content, which starts behind a > and ends at a <; so where
// its first space is tells for all of it. Positions count from page.
//
// In the same buffer, out never passes p: a line only loses bytes, and CR LF stays as long. A lone
// CR gains a LF, which needs a byte that an earlier line gave up; where there is none, the trim
// stops at that CR. A block copied ahead of the line end may overwrite input that is still to be
// read, so blocks are copied only while out stays a block behind; nearer, the line is found first
// and moved as a whole.
template <Into into, typename Scan, typename Preserved>
[[gnu::always_inline]] inline TrimmedLines trimLinesInto(const char *page, const char *p,
                                                         const char *end, char *out,
                                                         Preserved &preserved) {
    const char *const floor = out;
    while (p < end) {
        char *const lineStart = out;
        // Asked whether or not there are spaces, so that the answers, mostly no, are foreseeable.
        const char *const first = preserved.covers(p - page) ? p : skipSpaces<Scan>(p, end);
        if (into == Into::OwnBuffer || first - out >= Scan::kSize) {
            p = copyToLineEnd<Scan>(first, end, out);
        } else {
            p = findLineEnd<Scan>(first, end);
            if (out != first) __builtin_memmove(out, first, std::size_t(p - first));
            out += p - first;
        }
        // The line's bytes now stand in the output as they were: the input may be overwritten.
        const char *const trailing = withoutTrailingSpaces<Scan>(floor, lineStart, out);
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

// The loop for a page with and without preserved content.
template <Into into, typename Scan>
[[gnu::always_inline]] inline TrimmedLines trimLinesWith(const char *page, const char *p,
                                                         const char *end, char *out,
                                                         const ByteRange *first,
                                                         const ByteRange *last) {
    if (first == last) {
        NothingPreserved preserved;
        return trimLinesInto<into, Scan>(page, p, end, out, preserved);
    }
    PreservedRanges preserved(first, last);
    return trimLinesInto<into, Scan>(page, p, end, out, preserved);
}

// --- Whole blocks of 64 bytes. Most lines of a page are shorter than a block, so a block is not
// split into lines at all: which of its bytes stay is worked out for all of them at once, with
// masks whose bit i stands for byte i, and they are packed together. Lines that meet preserved
// content are left to the loop above, a line at a time.
//
// A Masks type reads a block (read: a Block with the masks of its spaces, CRs and LFs), tells
// the spaces of a block that a line end follows, or nothing more in the block (lineEndSpaces), and
// stores the bytes of a block that a mask keeps at out, answering where they end (pack); it may
// store up to a block's bytes behind those.

using Mask = unsigned long long;
constexpr qsizetype kBlock = 64;

// Where a line stands at the end of the bytes trimmed so far.
struct LineState {
    bool leading = true;    // nothing but spaces since the line started
    qsizetype pending = 0;  // spaces behind the line's last other byte, which stay only if
                            // another byte that is no line end follows them
};

[[gnu::always_inline]] inline char *putSpaces(char *out, qsizetype count) {
    for (; count > 0; --count) *out++ = ' ';
    return out;
}

// Trims the bytes from p to to one at a time, for a block with a lone CR and for the bytes behind
// the last whole block; a CR LF may end behind to, before bound. Answers false where a lone CR
// found no room in the same buffer: then p stands at that CR.
template <Into into>
bool trimBytes(const char *&p, const char *to, const char *bound, char *&out, LineState &line) {
    while (p < to) {
        const char byte = *p;
        if (byte == ' ') {
            if (!line.leading) ++line.pending;
        } else if (byte == '\n') {
            *out++ = '\n';
            line = {};
        } else if (byte == '\r') {
            const bool crLf = p + 1 < bound && p[1] == '\n';
            if (into == Into::SameBuffer && !crLf && out + 2 > p + 1) return false;
            *out++ = '\r';
            *out++ = '\n';
            line = {};
            if (crLf) ++p;
        } else {
            out = putSpaces(out, line.pending);
            *out++ = byte;
            line = {false, 0};
        }
        ++p;
    }
    return true;
}

// Trims the lines from p to stop a block at a time, where no preserved content lies. Answers false
// where a lone CR found no room in the same buffer: then p stands at that CR.
template <Into into, typename Masks>
bool trimBlocks(const char *&p, const char *stop, char *&out, LineState &line) {
    while (stop - p >= kBlock) {
        const typename Masks::Block block = Masks::read(p);
        const Mask spaces = block.spaces;
        Mask loneCrs = block.crs & ~(block.lfs >> 1);
        if (stop - p > kBlock && p[kBlock] == '\n') loneCrs &= ~(Mask{1} << 63);
        if (loneCrs != 0) {
            // Rare: the CR gains a LF, so the bytes that stay do not simply pack together. A CR
            // LF may take a byte of the next block along.
            if (!trimBytes<into>(p, p + kBlock, stop, out, line)) return false;
            continue;
        }
        const Mask ends = block.crs | block.lfs;
        if (spaces == ~Mask{0}) {
            if (!line.leading) line.pending += kBlock;
            p += kBlock;
            continue;
        }
        // Spaces carried from the block before stay if the first byte here that is no space is
        // no line end either.
        if (line.pending > 0) {
            if (((ends >> __builtin_ctzll(~spaces)) & 1) == 0) out = putSpaces(out, line.pending);
            line.pending = 0;
        }
        // The spaces that go: those at the start of a line, which follow nothing but spaces
        // since a line end (or since the block's start, where the line was still in its leading
        // spaces), and those at the end of a line, which a line end follows, or nothing more in
        // this block. The first kind are runs of spaces that begin behind a line end: adding
        // their first bits carries through each of them and clears it.
        const Mask starts = spaces & ((ends << 1) | Mask{line.leading});
        const Mask leadingSpaces = spaces & ~(spaces + starts);
        const Mask keep = ~(leadingSpaces | Masks::lineEndSpaces(block));
        out = Masks::pack(out, block, p, keep);
        p += kBlock;

        line.leading = ((leadingSpaces | ends) >> 63) != 0;
        const bool endsInSpaces = (spaces >> 63) != 0 && !line.leading;
        line.pending = endsInSpaces ? __builtin_clzll(~spaces) : 0;
    }
    return true;
}

// Trims the lines from p to stop, where no preserved content lies: whole blocks first, then the
// bytes behind them. p is a line start or the end of preserved content, and stop is end or where
// preserved content starts: since that content starts behind a > and ends at a <, no line there
// is in its leading spaces or has spaces pending.
template <Into into, typename Masks>
TrimmedLines trimStretch(const char *p, const char *stop, char *out) {
    // Asked first: in the same buffer, the trimmed lines may stand over the last byte by then.
    const bool lastLineOpen = stop > p && stop[-1] != '\n' && stop[-1] != '\r';
    LineState line;
    if (!trimBlocks<into, Masks>(p, stop, out, line) || !trimBytes<into>(p, stop, stop, out, line))
        return {out, p, false};
    return {out, p, lastLineOpen};
}

// The stretches without preserved content a block at a time, the preserved content between them
// line by line.
template <Into into, typename Masks, typename Scan>
TrimmedLines trimInBlocks(const char *page, const char *p, const char *end, char *out,
                          const ByteRange *first, const ByteRange *last) {
    for (;; ++first) {
        while (first < last && page + first->end <= p) ++first;
        const bool beforeContent = first < last && page + first->begin < end;
        const char *const stop = !beforeContent            ? end
                                 : page + first->begin > p ? page + first->begin
                                                           : p;
        const TrimmedLines stretch = trimStretch<into, Masks>(p, stop, out);
        if (stretch.in != stop || stop == end) return stretch;

        const char *const contentEnd = page + first->end < end ? page + first->end : end;
        const TrimmedLines content =
            trimLinesWith<into, Scan>(page, stop, contentEnd, stretch.out, first, last);
        if (content.in != contentEnd || contentEnd == end) return content;
        out = content.out;
        p = contentEnd;
    }
}

}  // namespace
