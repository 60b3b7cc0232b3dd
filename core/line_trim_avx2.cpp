// The trim's loops on blocks of 32 bytes. This file alone is built for AVX2 and is called only
// where the processor has it.
#include <immintrin.h>

#include "core/line_trim_loops.h"

namespace {

struct Avx2Block {
    static constexpr qsizetype kSize = 32;
    static constexpr unsigned kAll = 0xFFFF'FFFF;
    [[gnu::always_inline]] static unsigned matches(const char *p, char byte) {
        const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        return static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(block, _mm256_set1_epi8(byte))));
    }
};

template <Into into>
TrimmedLines avx2Loop(const char *page, const char *p, const char *end, char *out,
                      const ByteRange *first, const ByteRange *last) {
    return trimLinesWith<into, Avx2Block>(page, p, end, out, first, last);
}

}  // namespace

const TrimLoops &avx2TrimLoops() {
    static constexpr TrimLoops loops{&avx2Loop<Into::OwnBuffer>, &avx2Loop<Into::SameBuffer>};
    return loops;
}
