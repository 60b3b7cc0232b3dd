#pragma once

#include <QtGlobal>
#include <cstddef>
#include <limits>

#include "core/preserved_content.h"

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

// The loops on blocks of 32 bytes, for processors with AVX2, and of 64, for those with AVX-512.
const TrimLoops &avx2TrimLoops();
const TrimLoops &avx512TrimLoops();

// Everything below is compiled into each file that includes it, for that file's instructions,
// and must not be shared between them: so it has internal linkage, and calls no function of a
// library that a file built for wider instructions could emit in its own way.
namespace {

// A Block type tells the width (kSize), the mask of a whole block (kAll) and the bytes of the
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

template <typename Block>
[[gnu::always_inline]] inline const char *skipSpaces(const char *p, const char *end) {
    for (; end - p >= Block::kSize; p += Block::kSize) {
        if (const auto others = ~Block::matches(p, ' ') & Block::kAll) return p + firstBit(others);
    }
    while (p < end && *p == ' ') ++p;
    return p;
}

// Copies the bytes before the next CR or LF (or the end) to out, a block at a time: out has room
// for the block that holds the line end, whose bytes behind it are overwritten later. Returns
// where the copy stopped in the input; out is moved behind the copied bytes.
template <typename Block>
[[gnu::always_inline]] inline const char *copyToLineEnd(const char *p, const char *end,
                                                        char *&out) {
    for (; end - p >= Block::kSize; p += Block::kSize, out += Block::kSize) {
        __builtin_memcpy(out, p, Block::kSize);
        if (const auto ends = Block::matches(p, '\r') | Block::matches(p, '\n')) {
            const int length = firstBit(ends);
            out += length;
            return p + length;
        }
    }
    while (p < end && *p != '\r' && *p != '\n') *out++ = *p++;
    return p;
}

// Where the next CR or LF from p is, or end.
template <typename Block>
[[gnu::always_inline]] inline const char *findLineEnd(const char *p, const char *end) {
    for (; end - p >= Block::kSize; p += Block::kSize) {
        if (const auto ends = Block::matches(p, '\r') | Block::matches(p, '\n'))
            return p + firstBit(ends);
    }
    while (p < end && *p != '\r' && *p != '\n') ++p;
    return p;
}

// Where the bytes from first to end stop when the spaces at their end are left out. The bytes
// from floor to first lie in the same buffer and may be read too, so that a line shorter than a
// block, as most are, is looked at in one block as well: a line in the output follows the line end
// of the line before it, which is no space, so no byte of an earlier line is taken for its own.
template <typename Block>
[[gnu::always_inline]] inline const char *withoutTrailingSpaces(const char *floor,
                                                                const char *first,
                                                                const char *end) {
    if (end - first < Block::kSize && end - floor >= Block::kSize) {
        const char *const block = end - Block::kSize;
        return block + bitWidth(~Block::matches(block, ' ') & Block::kAll);
    }
    for (; end - first >= Block::kSize; end -= Block::kSize) {
        if (const auto others = ~Block::matches(end - Block::kSize, ' ') & Block::kAll)
            return end - Block::kSize + bitWidth(others);
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
template <Into into, typename Block, typename Preserved>
[[gnu::always_inline]] inline TrimmedLines trimLinesInto(const char *page, const char *p,
                                                         const char *end, char *out,
                                                         Preserved &preserved) {
    const char *const floor = out;
    while (p < end) {
        char *const lineStart = out;
        // Asked whether or not there are spaces, so that the answers, mostly no, are foreseeable.
        const char *const first = preserved.covers(p - page) ? p : skipSpaces<Block>(p, end);
        if (into == Into::OwnBuffer || first - out >= Block::kSize) {
            p = copyToLineEnd<Block>(first, end, out);
        } else {
            p = findLineEnd<Block>(first, end);
            if (out != first) __builtin_memmove(out, first, std::size_t(p - first));
            out += p - first;
        }
        // The line's bytes now stand in the output as they were: the input may be overwritten.
        const char *const trailing = withoutTrailingSpaces<Block>(floor, lineStart, out);
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
template <Into into, typename Block>
[[gnu::always_inline]] inline TrimmedLines trimLinesWith(const char *page, const char *p,
                                                         const char *end, char *out,
                                                         const ByteRange *first,
                                                         const ByteRange *last) {
    if (first == last) {
        NothingPreserved preserved;
        return trimLinesInto<into, Block>(page, p, end, out, preserved);
    }
    PreservedRanges preserved(first, last);
    return trimLinesInto<into, Block>(page, p, end, out, preserved);
}

}  // namespace
