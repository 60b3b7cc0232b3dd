// This file alone is built for AVX-512 and is called only where the processor has it.
#include <immintrin.h>

#include "core/encoding/two_byte_blocks.h"

namespace {

using Mask = unsigned long long;
constexpr qsizetype kBlock = 64;
constexpr int kLanes = 16;
constexpr int kQuarters = kBlock / kLanes;
constexpr Mask kEven = 0x5555'5555'5555'5555;

// Each quarter of a block is stored whole, and a quarter of text gives at most 48 bytes: with this
// many bytes left to read, the room that out has always takes that.
constexpr qsizetype kLeftAtLeast = 96;

// The leads of a block that starts at a character boundary. Only a lead or its trail is a byte
// from 0x80 up, and a trail byte below 0x80 ends its run: so in each run of such bytes, every
// other byte from the run's first on is a lead. The runs that start at an even place are found by
// adding their first bits, which carries through each of them and clears it.
[[gnu::always_inline]] inline Mask leadsOf(Mask high) {
    const Mask starts = high & ~(high << 1);
    const Mask evenRuns = high & ~(high + (starts & kEven));
    return (evenRuns & kEven) | (high & ~evenRuns & ~kEven);
}

}  // namespace

const char *decodeTwoByteBlocksWithAvx512(const char *in, const char *end, char *&out,
                                          const PackedCharacter *table) {
    // Repeats the first byte of each lane over the lane, and numbers the bytes of a lane.
    const __m512i spreadLane = _mm512_set4_epi32(0x0C0C'0C0C, 0x0808'0808, 0x0404'0404, 0);
    const __m512i byteInLane = _mm512_set1_epi32(0x0302'0100);
    while (end - in >= kLeftAtLeast) {
        const __m512i block = _mm512_loadu_si512(in);
        const Mask high = _mm512_movepi8_mask(block);
        if (high == 0) {
            _mm512_storeu_si512(out, block);
            in += kBlock;
            out += kBlock;
            continue;
        }
        Mask leads = leadsOf(high);
        // A character that the block's end cuts is left to the next block.
        const Mask cut = leads & (Mask{1} << 63);
        leads &= ~cut;
        const Mask trails = leads << 1;
        // A byte that is no lead would look outside the table. A byte that is no trail byte
        // finds an entry of 0 there, and so does everything else that a block leaves alone.
        const Mask noLead = _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8(char(0x80))) |
                            _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8(char(0xFF)));
        if (leads & noLead) break;

        // A lane a byte: ASCII stays as it is, a lead becomes its character, a trail and a cut
        // lead become nothing. The codes of the leads are packed together first, so that the
        // characters of a block take one lookup of sixteen, or two.
        __m512i lanes[kQuarters];
        int codes[kBlock];
        int leadCount = 0;
        for (int quarter = 0; quarter < kQuarters; ++quarter) {
            const char *const at = in + quarter * kLanes;
            lanes[quarter] = _mm512_maskz_cvtepu8_epi32(
                0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i *>(at)));
            const __m512i next = _mm512_maskz_cvtepu8_epi32(
                0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + 1)));
            const __m512i code = _mm512_sub_epi32(
                _mm512_or_si512(_mm512_maskz_slli_epi32(0xFFFF, lanes[quarter], 8), next),
                _mm512_set1_epi32(kTwoByteFirstLead << 8));
            const auto leadLanes = static_cast<__mmask16>(leads >> (quarter * kLanes));
            _mm512_storeu_si512(codes + leadCount, _mm512_maskz_compress_epi32(leadLanes, code));
            leadCount += __builtin_popcount(leadLanes);
        }
        int found[kBlock];
        for (int first = 0; first < leadCount; first += kLanes) {
            const auto looked = static_cast<__mmask16>(
                leadCount - first >= kLanes ? 0xFFFF : (1u << (leadCount - first)) - 1);
            const __m512i code = _mm512_loadu_si512(codes + first);
            _mm512_storeu_si512(found + first, _mm512_mask_i32gather_epi32(_mm512_setzero_si512(),
                                                                           looked, code, table, 4));
        }

        __m512i characters[kQuarters];
        Mask keep[kQuarters];
        __mmask16 missing = 0;
        int taken = 0;
        for (int quarter = 0; quarter < kQuarters; ++quarter) {
            const auto leadLanes = static_cast<__mmask16>(leads >> (quarter * kLanes));
            const auto noLanes = static_cast<__mmask16>((trails | cut) >> (quarter * kLanes));
            characters[quarter] =
                _mm512_mask_expandloadu_epi32(lanes[quarter], leadLanes, found + taken);
            taken += __builtin_popcount(leadLanes);
            const __m512i counts = _mm512_maskz_srli_epi32(0xFFFF, characters[quarter], 24);
            missing |= _mm512_mask_cmpeq_epi32_mask(leadLanes, counts, _mm512_setzero_si512());
            const __m512i lengths = _mm512_maskz_mov_epi32(
                static_cast<__mmask16>(~noLanes),
                _mm512_mask_mov_epi32(_mm512_set1_epi32(1), leadLanes, counts));
            keep[quarter] =
                _mm512_cmpgt_epu8_mask(_mm512_shuffle_epi8(lengths, spreadLane), byteInLane);
        }
        if (missing) break;
        for (int quarter = 0; quarter < kQuarters; ++quarter) {
            _mm512_storeu_si512(out,
                                _mm512_maskz_compress_epi8(keep[quarter], characters[quarter]));
            out += __builtin_popcountll(keep[quarter]);
        }
        in += cut ? kBlock - 1 : kBlock;
    }
    return in;
}
