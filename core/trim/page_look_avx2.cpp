// The look on blocks of 32 bytes, for processors with AVX2. This file alone is built for those
// instructions and is called only where the processor has them.
#include <immintrin.h>

#include "core/trim/page_look_loops.h"

namespace {

struct Avx2Block {
    static constexpr qsizetype kSize = 32;

    [[gnu::always_inline]] static unsigned long long candidates(const char *p) {
        const auto load = [](const char *at) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
        };
        const auto is = [](__m256i bytes, char c) {
            return _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(c));
        };
        const __m256i fold = _mm256_set1_epi8(0x20);
        const __m256i here = load(p), next = load(p + 1), afterNext = load(p + 2);
        const __m256i foldedHere = _mm256_or_si256(here, fold);
        const __m256i foldedNext = _mm256_or_si256(next, fold);
        const __m256i foldedAfter = _mm256_or_si256(afterNext, fold);
        const __m256i names = _mm256_or_si256(
            _mm256_or_si256(_mm256_or_si256(is(foldedNext, 'p'), is(foldedNext, 'l')),
                            _mm256_or_si256(is(foldedNext, 'x'), is(foldedNext, 's'))),
            _mm256_or_si256(is(foldedNext, 'm'),
                            _mm256_and_si256(is(foldedNext, 't'), is(foldedAfter, 'e'))));
        const __m256i tag = _mm256_and_si256(is(here, '<'), names);
        // Tab, LF, FF and CR are 0x09 to 0x0D.
        const __m256i quoteOrSpace = _mm256_or_si256(
            _mm256_or_si256(is(next, '"'), is(next, '\'')),
            _mm256_or_si256(is(next, ' '),
                            is(_mm256_and_si256(next, _mm256_set1_epi8(char(0xF8))), 0x08)));
        const __m256i value = _mm256_and_si256(is(here, '='), quoteOrSpace);
        const __m256i space =
            _mm256_and_si256(_mm256_or_si256(is(here, '-'), is(here, ':')),
                             _mm256_and_si256(is(foldedNext, 's'), is(foldedAfter, 'p')));
        const __m256i style = _mm256_and_si256(
            is(foldedHere, 's'), _mm256_and_si256(is(foldedNext, 't'), is(foldedAfter, 'y')));
        const __m256i all =
            _mm256_or_si256(_mm256_or_si256(tag, value), _mm256_or_si256(space, style));
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(all));
    }
};

}  // namespace

bool lookWithAvx2(const char *from, const char *to, const char *end) {
    return lookIn<Avx2Block>(from, to, end);
}
