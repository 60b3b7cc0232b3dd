// The trim on blocks of 64 bytes, for processors with AVX-512 (BW, VBMI and VBMI2). This file
// alone is built for those instructions and is called only where the processor has them.
//
// Most lines of a page are shorter than a block, so here a block is not split into lines at all:
// which of its bytes stay is worked out for all of them at once, and they are packed together in
// one step. Lines that meet preserved content are left to the line-by-line loop.
#include <immintrin.h>

#include "core/line_trim_loops.h"

namespace {

using Mask = unsigned long long;
constexpr qsizetype kBlock = 64;

struct Avx512Block {
    static constexpr qsizetype kSize = kBlock;
    static constexpr Mask kAll = ~Mask{0};
    [[gnu::always_inline]] static Mask matches(const char *p, char byte) {
        return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), _mm512_set1_epi8(byte));
    }
};

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

// The spaces of a block that go: those at the start of a line, which follow nothing but spaces
// since a line end (or since the block's start, where the line was still in its leading spaces),
// and those at the end of a line, which a line end follows, or nothing more in this block. The
// first kind are runs of spaces that begin behind a line end: adding their first bits carries
// through each of them and clears it. The second kind are the same on the block read backwards.
[[gnu::always_inline]] inline Mask spacesThatGo(__m512i block, Mask spaces, Mask ends, bool leading,
                                                Mask &leadingSpaces) {
    const Mask starts = spaces & ((ends << 1) | Mask{leading});
    leadingSpaces = spaces & ~(spaces + starts);

    const __m512i backwards = _mm512_set_epi8(
        0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
        25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
        48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63);
    const __m512i reversed = _mm512_maskz_permutexvar_epi8(~Mask{0}, backwards, block);
    const Mask spacesBack = _mm512_cmpeq_epi8_mask(reversed, _mm512_set1_epi8(' '));
    const Mask endsBack = _mm512_cmpeq_epi8_mask(reversed, _mm512_set1_epi8('\r')) |
                          _mm512_cmpeq_epi8_mask(reversed, _mm512_set1_epi8('\n'));
    const Mask startsBack = spacesBack & ((endsBack << 1) | 1);
    const Mask trailingBack = spacesBack & ~(spacesBack + startsBack);
    const Mask trailing = _mm512_movepi8_mask(
        _mm512_maskz_permutexvar_epi8(~Mask{0}, backwards, _mm512_movm_epi8(trailingBack)));
    return leadingSpaces | trailing;
}

// Trims the lines from p to stop a block at a time, where no preserved content lies. Answers false
// where a lone CR found no room in the same buffer: then p stands at that CR.
template <Into into>
bool trimBlocks(const char *&p, const char *stop, char *&out, LineState &line) {
    while (stop - p >= kBlock) {
        const __m512i block = _mm512_loadu_si512(p);
        const Mask spaces = _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8(' '));
        const Mask crs = _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8('\r'));
        const Mask lfs = _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8('\n'));
        Mask loneCrs = crs & ~(lfs >> 1);
        if (stop - p > kBlock && p[kBlock] == '\n') loneCrs &= ~(Mask{1} << 63);
        if (loneCrs != 0) {
            // Rare: the CR gains a LF, so the bytes that stay do not simply pack together. A CR
            // LF may take a byte of the next block along.
            if (!trimBytes<into>(p, p + kBlock, stop, out, line)) return false;
            continue;
        }
        p += kBlock;
        const Mask ends = crs | lfs;
        if (spaces == ~Mask{0}) {
            if (!line.leading) line.pending += kBlock;
            continue;
        }
        // Spaces carried from the block before stay if the first byte here that is no space is
        // no line end either.
        if (line.pending > 0) {
            if (((ends >> __builtin_ctzll(~spaces)) & 1) == 0) out = putSpaces(out, line.pending);
            line.pending = 0;
        }
        Mask leadingSpaces;
        const Mask keep = ~spacesThatGo(block, spaces, ends, line.leading, leadingSpaces);
        // The whole block is stored: in the same buffer out never passes the block, which is read
        // already, and a buffer of its own has room for a block ahead, as the line loops need.
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, block));
        out += __builtin_popcountll(keep);

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
template <Into into>
TrimmedLines trimStretch(const char *p, const char *stop, char *out) {
    // Asked first: in the same buffer, the trimmed lines may stand over the last byte by then.
    const bool lastLineOpen = stop > p && stop[-1] != '\n' && stop[-1] != '\r';
    LineState line;
    if (!trimBlocks<into>(p, stop, out, line) || !trimBytes<into>(p, stop, stop, out, line))
        return {out, p, false};
    return {out, p, lastLineOpen};
}

// The stretches without preserved content a block at a time, the preserved content between them
// line by line.
template <Into into>
TrimmedLines avx512Loop(const char *page, const char *p, const char *end, char *out,
                        const ByteRange *first, const ByteRange *last) {
    for (;; ++first) {
        while (first < last && page + first->end <= p) ++first;
        const bool beforeContent = first < last && page + first->begin < end;
        const char *const stop = !beforeContent            ? end
                                 : page + first->begin > p ? page + first->begin
                                                           : p;
        const TrimmedLines stretch = trimStretch<into>(p, stop, out);
        if (stretch.in != stop || stop == end) return stretch;

        const char *const contentEnd = page + first->end < end ? page + first->end : end;
        const TrimmedLines content =
            trimLinesWith<into, Avx512Block>(page, stop, contentEnd, stretch.out, first, last);
        if (content.in != contentEnd || contentEnd == end) return content;
        out = content.out;
        p = contentEnd;
    }
}

}  // namespace

const TrimLoops &avx512TrimLoops() {
    static constexpr TrimLoops loops{&avx512Loop<Into::OwnBuffer>, &avx512Loop<Into::SameBuffer>};
    return loops;
}
