#pragma once

#include <QtGlobal>
#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Looks at sixteen bytes at a time, for scans whose cost per short line or per character counts.
// Each function answers with a mask whose bit i stands for byte i of the block at p; the sixteen
// bytes at p must be readable.
namespace byte_block {

constexpr qsizetype kSize = 16;
constexpr unsigned kAll = 0xFFFF;

#ifndef __SSE2__
namespace detail {

using Word = std::uint64_t;
constexpr Word kOnes = 0x0101010101010101;
constexpr Word kLowBits = 0x7F7F7F7F7F7F7F7F;

inline Word load(const char *p) {
    Word word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

// Gathers the high bit of each byte into the low eight bits, in byte order.
inline unsigned highBits(Word word) {
    return static_cast<unsigned>((((word & ~kLowBits) >> 7) * 0x0102040810204080) >> 56);
}

// The high bit of each byte that equals byte, and no other bit: no carry crosses a byte.
inline Word equalBytes(Word word, char byte) {
    const Word zeroWhereEqual = word ^ (kOnes * static_cast<unsigned char>(byte));
    return ~(((zeroWhereEqual & kLowBits) + kLowBits) | zeroWhereEqual) & ~kLowBits;
}

}  // namespace detail
#endif

// The bytes that equal byte.
inline unsigned matches(const char *p, char byte) {
#ifdef __SSE2__
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(byte))));
#else
    using namespace detail;
    return highBits(equalBytes(load(p), byte)) | highBits(equalBytes(load(p + 8), byte)) << 8;
#endif
}

// The bytes from 0x80 up, the ones that are not ASCII.
inline unsigned nonAscii(const char *p) {
#ifdef __SSE2__
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))));
#else
    using namespace detail;
    return highBits(load(p)) | highBits(load(p + 8)) << 8;
#endif
}

// Where the ASCII bytes from p on end: at the first byte from 0x80 up, or at end.
inline const char *skipAscii(const char *p, const char *end) {
    for (; end - p >= kSize; p += kSize) {
        if (const unsigned others = nonAscii(p)) return p + std::countr_zero(others);
    }
    while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
    return p;
}

}  // namespace byte_block
