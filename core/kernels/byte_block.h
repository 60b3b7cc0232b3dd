#pragma once

#include <QtGlobal>
#include <bit>
#include <cstdint>
#include <cstring>

// Looks at sixteen bytes at a time, in plain C++ that any processor runs, for scans whose cost
// per short line or per character counts: each block is two words of eight bytes, whose bytes are
// compared all at once with the arithmetic of whole words. Each function answers with a mask whose
// bit i stands for byte i of the block at p; the sixteen bytes at p must be readable.
namespace byte_block {

constexpr qsizetype kSize = 16;
constexpr unsigned kAll = 0xFFFF;

namespace detail {

constexpr std::uint64_t kOnes = 0x0101'0101'0101'0101;
constexpr std::uint64_t kLow7 = 0x7F7F'7F7F'7F7F'7F7F;

// The eight bytes at p, the first in the lowest place.
inline std::uint64_t word(const char *p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

// The high bit of each byte of highs, which holds no other bits, gathered into eight bits. The
// product puts byte i's bit at bit 56 + i, and no two of its terms meet, so nothing carries.
inline unsigned gathered(std::uint64_t highs) {
    return static_cast<unsigned>(((highs >> 7) * 0x0102'0408'1020'4080) >> 56);
}

// The high bit of every byte of word that is zero, and no other bit: exact, since no byte's sum
// carries into the next.
inline std::uint64_t zeroBytes(std::uint64_t word) {
    return ~(((word & kLow7) + kLow7) | word | kLow7);
}

inline unsigned matches(std::uint64_t word, char byte) {
    return gathered(zeroBytes(word ^ (kOnes * static_cast<unsigned char>(byte))));
}

}  // namespace detail

// The bytes that equal byte.
inline unsigned matches(const char *p, char byte) {
    return detail::matches(detail::word(p), byte) | detail::matches(detail::word(p + 8), byte) << 8;
}

// The bytes from 0x80 up, the ones that are not ASCII.
inline unsigned nonAscii(const char *p) {
    constexpr std::uint64_t kHigh = ~detail::kLow7;
    return detail::gathered(detail::word(p) & kHigh) | detail::gathered(detail::word(p + 8) & kHigh)
                                                           << 8;
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
