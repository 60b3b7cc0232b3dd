// The trim's loops for processors with AVX2: blocks of 64 bytes in two halves, and blocks of 32
// for the lines that meet preserved content. They trim a page in about a third of the time the
// portable loops take. This file alone is built for AVX2 and is called only where the processor
// has it.
#include <immintrin.h>

#include "core/trim/line_trim_loops.h"

namespace {

struct Avx2Scan {
    static constexpr qsizetype kSize = 32;
    static constexpr unsigned kAll = 0xFFFF'FFFF;
    [[gnu::always_inline]] static unsigned matches(const char *p, char byte) {
        const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        return static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(block, _mm256_set1_epi8(byte))));
    }
};

// The blocks of 64 bytes as AVX2 takes them, in two halves: the spaces that a line end follows
// are those that begin a run on the block read backwards, whose mask is then turned around; the
// bytes that stay are packed eight at a time, each eight by a shuffle looked up for their mask.
struct Avx2Masks {
    struct Block {
        __m256i low, high;
        Mask spaces, crs, lfs;
    };

    [[gnu::always_inline]] static Mask matches(__m256i low, __m256i high, char byte) {
        const __m256i wanted = _mm256_set1_epi8(byte);
        const auto half = [&](__m256i bytes) {
            return static_cast<Mask>(
                static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, wanted))));
        };
        return half(low) | half(high) << 32;
    }

    [[gnu::always_inline]] static Block read(const char *p) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32));
        return {low, high, matches(low, high, ' '), matches(low, high, '\r'),
                matches(low, high, '\n')};
    }

    [[gnu::always_inline]] static __m256i backwards(__m256i bytes) {
        const __m256i inLane =
            _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12,
                             11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
        return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(bytes, inLane), 0x4E);
    }

    [[gnu::always_inline]] static Mask turnedAround(Mask mask) {
        mask = __builtin_bswap64(mask);
        mask = (mask >> 4 & 0x0F0F'0F0F'0F0F'0F0F) | (mask & 0x0F0F'0F0F'0F0F'0F0F) << 4;
        mask = (mask >> 2 & 0x3333'3333'3333'3333) | (mask & 0x3333'3333'3333'3333) << 2;
        return (mask >> 1 & 0x5555'5555'5555'5555) | (mask & 0x5555'5555'5555'5555) << 1;
    }

    [[gnu::always_inline]] static Mask lineEndSpaces(const Block &block) {
        const __m256i low = backwards(block.high);
        const __m256i high = backwards(block.low);
        const Mask spacesBack = matches(low, high, ' ');
        const Mask endsBack = matches(low, high, '\r') | matches(low, high, '\n');
        const Mask startsBack = spacesBack & ((endsBack << 1) | 1);
        return turnedAround(spacesBack & ~(spacesBack + startsBack));
    }

    // Eight bytes at a time, each read again from the input: in the same buffer, the eight bytes
    // stored end at the latest where the next eight start.
    [[gnu::always_inline]] static char *pack(char *out, const Block &, const char *p, Mask keep) {
        for (int eight = 0; eight < 8; ++eight, p += 8, keep >>= 8) {
            const unsigned kept = keep & 0xFF;
            const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
            const __m128i order =
                _mm_loadl_epi64(reinterpret_cast<const __m128i *>(kPackOrders.places[kept]));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out), _mm_shuffle_epi8(bytes, order));
            out += __builtin_popcount(kept);
        }
        return out;
    }

    // For each mask of eight bytes, the places of the bytes it keeps, in order.
    struct PackOrders {
        char places[256][8];
    };
    static constexpr PackOrders kPackOrders = [] {
        PackOrders orders{};
        for (int mask = 0; mask < 256; ++mask) {
            int next = 0;
            for (int place = 0; place < 8; ++place)
                if (mask >> place & 1) orders.places[mask][next++] = static_cast<char>(place);
        }
        return orders;
    }();
};

template <Into into>
TrimmedLines avx2Loop(const char *page, const char *p, const char *end, char *out,
                      const ByteRange *first, const ByteRange *last) {
    return trimInBlocks<into, Avx2Masks, Avx2Scan>(page, p, end, out, first, last);
}

}  // namespace

constexpr TrimLoops kAvx2TrimLoops{&avx2Loop<Into::OwnBuffer>, &avx2Loop<Into::SameBuffer>};
