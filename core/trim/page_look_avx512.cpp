// The look on blocks of 64 bytes, for processors with AVX-512 (BW). This file alone is built for
// those instructions and is called only where the processor has them.
#include <immintrin.h>

#include <cstdint>

#include "core/trim/page_look_loops.h"

namespace {

struct Avx512Block {
    static constexpr qsizetype kSize = 64;
    using Mask = std::uint64_t;
    struct Masks {
        Mask elements, equals, es, spaces, doubleQuotes, singleQuotes, lineEnds;
    };

    [[gnu::always_inline]] static Masks masks(const char *p) {
        const auto is = [](__m512i bytes, char c) {
            return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(c));
        };
        const __m512i fold = _mm512_set1_epi8(0x20);
        const __m512i here = _mm512_loadu_si512(p);
        const __m512i foldedNext = _mm512_or_si512(_mm512_loadu_si512(p + 1), fold);
        const __m512i foldedAfter = _mm512_or_si512(_mm512_loadu_si512(p + 2), fold);
        const Mask names = is(foldedNext, 'p') | is(foldedNext, 'l') | is(foldedNext, 'x') |
                           is(foldedNext, 's') | is(foldedNext, 'm') |
                           (is(foldedNext, 't') & is(foldedAfter, 'e'));
        const Mask lineEnds = is(here, '\r') | is(here, '\n');
        // Tab, LF, FF and CR are 0x09 to 0x0D.
        const Mask spaces =
            is(here, ' ') | is(_mm512_and_si512(here, _mm512_set1_epi8(char(0xF8))), 0x08);
        return {is(here, '<') & names,
                is(here, '='),
                is(_mm512_or_si512(here, fold), 'e'),
                spaces,
                is(here, '"'),
                is(here, '\''),
                lineEnds};
    }
};

}  // namespace

bool lookWithAvx512(const LookSpan &span) {
    return lookIn<Avx512Block>(span);
}
