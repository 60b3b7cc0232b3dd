// The look on blocks of 32 bytes, for processors with AVX2. This file alone is built for those
// instructions and is called only where the processor has them.
#include <immintrin.h>

#include <cstdint>

#include "core/trim/page_look_loops.h"

namespace {

struct Avx2Block {
    static constexpr qsizetype kSize = 32;
    using Mask = std::uint32_t;
    struct Masks {
        Mask elements, equals, es, spaces, doubleQuotes, singleQuotes, lineEnds, hyphens;
    };

    [[gnu::always_inline]] static Masks masks(const char *p) {
        const auto load = [](const char *at) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
        };
        const auto is = [](__m256i bytes, char c) {
            return _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(c));
        };
        const auto bits = [](__m256i found) {
            return static_cast<Mask>(_mm256_movemask_epi8(found));
        };
        const __m256i fold = _mm256_set1_epi8(0x20);
        const __m256i here = load(p);
        const __m256i foldedHere = _mm256_or_si256(here, fold);
        const __m256i foldedNext = _mm256_or_si256(load(p + 1), fold);
        const __m256i foldedAfter = _mm256_or_si256(load(p + 2), fold);
        const __m256i names = _mm256_or_si256(
            _mm256_or_si256(_mm256_or_si256(is(foldedNext, 'p'), is(foldedNext, 'l')),
                            _mm256_or_si256(is(foldedNext, 'x'), is(foldedNext, 's'))),
            _mm256_or_si256(is(foldedNext, 'm'),
                            _mm256_and_si256(is(foldedNext, 't'), is(foldedAfter, 'e'))));
        const __m256i crs = is(here, '\r'), lfs = is(here, '\n');
        // Tab, LF, FF and CR are 0x09 to 0x0D.
        const __m256i spaces = _mm256_or_si256(
            is(here, ' '), is(_mm256_and_si256(here, _mm256_set1_epi8(char(0xF8))), 0x08));
        return {bits(_mm256_and_si256(is(here, '<'), names)),
                bits(is(here, '=')),
                bits(is(foldedHere, 'e')),
                bits(spaces),
                bits(is(here, '"')),
                bits(is(here, '\'')),
                bits(_mm256_or_si256(crs, lfs)),
                bits(is(here, '-'))};
    }
};

}  // namespace

bool lookWithAvx2(const LookSpan &span) {
    return lookIn<Avx2Block>(span);
}
