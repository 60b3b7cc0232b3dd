// The look on blocks of 64 bytes, for processors with AVX-512 (BW). This file alone is built for
// those instructions and is called only where the processor has them.
#include <immintrin.h>

#include "core/trim/page_look_loops.h"

namespace {

struct Avx512Block {
    static constexpr qsizetype kSize = 64;

    [[gnu::always_inline]] static unsigned long long candidates(const char *p) {
        const auto is = [](__m512i bytes, char c) {
            return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(c));
        };
        const __m512i fold = _mm512_set1_epi8(0x20);
        const __m512i here = _mm512_loadu_si512(p), next = _mm512_loadu_si512(p + 1),
                      afterNext = _mm512_loadu_si512(p + 2);
        const __m512i foldedNext = _mm512_or_si512(next, fold);
        const __m512i foldedAfter = _mm512_or_si512(afterNext, fold);
        const __mmask64 names = is(foldedNext, 'p') | is(foldedNext, 'l') | is(foldedNext, 'x') |
                                is(foldedNext, 's') | is(foldedNext, 'm') |
                                (is(foldedNext, 't') & is(foldedAfter, 'e'));
        // Tab, LF, FF and CR are 0x09 to 0x0D.
        const __mmask64 quoteOrSpace =
            is(next, '"') | is(next, '\'') | is(next, ' ') |
            is(_mm512_and_si512(next, _mm512_set1_epi8(char(0xF8))), 0x08);
        return (is(here, '<') & names) | (is(here, '=') & quoteOrSpace) |
               ((is(here, '-') | is(here, ':')) & is(foldedNext, 's') & is(foldedAfter, 'p')) |
               (is(_mm512_or_si512(here, fold), 's') & is(foldedNext, 't') & is(foldedAfter, 'y'));
    }
};

}  // namespace

bool lookWithAvx512(const char *from, const char *to, const char *end) {
    return lookIn<Avx512Block>(from, to, end);
}
