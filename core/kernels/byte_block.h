#pragma once

#include <QtGlobal>
#include <bit>

#ifndef __SSE2__
#error "the byte scans are written for SSE2, which every amd64 processor has"
#endif
#include <emmintrin.h>

// Looks at sixteen bytes at a time, for scans whose cost per short line or per character counts.
// Each function answers with a mask whose bit i stands for byte i of the block at p; the sixteen
// bytes at p must be readable.
namespace byte_block {

constexpr qsizetype kSize = 16;
constexpr unsigned kAll = 0xFFFF;

// The bytes that equal byte.
inline unsigned matches(const char *p, char byte) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(byte))));
}

// The bytes from 0x80 up, the ones that are not ASCII.
inline unsigned nonAscii(const char *p) {
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))));
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
