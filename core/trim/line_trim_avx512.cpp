// The trim on blocks of 64 bytes, for processors with AVX-512 (BW, VBMI and VBMI2). This file
// alone is built for those instructions and is called only where the processor has them.
#include <immintrin.h>

#include "core/trim/line_trim_loops.h"

namespace {

struct Avx512Scan {
    static constexpr qsizetype kSize = kBlock;
    static constexpr Mask kAll = ~Mask{0};
    [[gnu::always_inline]] static Mask matches(const char *p, char byte) {
        return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), _mm512_set1_epi8(byte));
    }
};

// The blocks as AVX-512 takes them: the spaces that a line end follows are those that begin a run
// on the block read backwards, and the bytes that stay are packed in one instruction.
struct Avx512Masks {
    struct Block {
        __m512i bytes;
        Mask spaces, crs, lfs;
    };

    [[gnu::always_inline]] static Block read(const char *p) {
        const __m512i bytes = _mm512_loadu_si512(p);
        return {bytes, _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(' ')),
                _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\r')),
                _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\n'))};
    }

    [[gnu::always_inline]] static Mask lineEndSpaces(const Block &block) {
        const __m512i backwards = _mm512_set_epi8(
            0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
            24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45,
            46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63);
        const __m512i reversed = _mm512_maskz_permutexvar_epi8(~Mask{0}, backwards, block.bytes);
        const Mask spacesBack = _mm512_cmpeq_epi8_mask(reversed, _mm512_set1_epi8(' '));
        const Mask endsBack = _mm512_cmpeq_epi8_mask(reversed, _mm512_set1_epi8('\r')) |
                              _mm512_cmpeq_epi8_mask(reversed, _mm512_set1_epi8('\n'));
        const Mask startsBack = spacesBack & ((endsBack << 1) | 1);
        const Mask trailingBack = spacesBack & ~(spacesBack + startsBack);
        return _mm512_movepi8_mask(
            _mm512_maskz_permutexvar_epi8(~Mask{0}, backwards, _mm512_movm_epi8(trailingBack)));
    }

    // The whole block is stored: in the same buffer out never passes the block, which is read
    // already, and a buffer of its own has room for a block ahead, as the line loops need.
    [[gnu::always_inline]] static char *pack(char *out, const Block &block, const char *,
                                             Mask keep) {
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, block.bytes));
        return out + __builtin_popcountll(keep);
    }
};

template <Into into>
TrimmedLines avx512Loop(const char *page, const char *p, const char *end, char *out,
                        const ByteRange *first, const ByteRange *last) {
    return trimInBlocks<into, Avx512Masks, Avx512Scan>(page, p, end, out, first, last);
}

}  // namespace

constexpr TrimLoops kAvx512TrimLoops{&avx512Loop<Into::OwnBuffer>, &avx512Loop<Into::SameBuffer>};
