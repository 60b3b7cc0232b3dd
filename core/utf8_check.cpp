#include "core/utf8_check.h"

#ifdef __SSE2__

#include <emmintrin.h>

#include <cstring>

namespace {

// Looks at sixteen bytes at a time and keeps one bit per byte in plain integers, so that what a
// lead byte demands of the bytes behind it can be carried over into the next block. A block is
// valid when its continuation bytes are exactly the ones the lead bytes before them ask for, no
// byte is one that UTF-8 never uses, and the byte behind E0, ED, F0 and F4 lies in its narrower
// range (no overlong forms, no surrogates, nothing above U+10FFFF).
class BlockChecker {
public:
    bool check(const char *p) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const unsigned nonAscii = mask(block);
        if (nonAscii == 0 && pendingContinuations_ == 0) return true;

        const auto atLeast = [&](unsigned char low) {
            const __m128i bound = _mm_set1_epi8(static_cast<char>(low));
            return mask(_mm_cmpeq_epi8(_mm_max_epu8(block, bound), block));
        };
        const auto equal = [&](unsigned char value) {
            return mask(_mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(value))));
        };
        const unsigned from90 = atLeast(0x90);
        const unsigned fromA0 = atLeast(0xA0);
        const unsigned fromC0 = atLeast(0xC0);
        const unsigned fromC2 = atLeast(0xC2);
        const unsigned fromE0 = atLeast(0xE0);
        const unsigned fromF0 = atLeast(0xF0);
        const unsigned fromF5 = atLeast(0xF5);

        const unsigned continuations = nonAscii & ~fromC0;
        const unsigned demanded = (fromC0 << 1) | (fromE0 << 2) | (fromF0 << 3);
        const unsigned afterE0 = (equal(0xE0) << 1) | afterE0_;
        const unsigned afterED = (equal(0xED) << 1) | afterED_;
        const unsigned afterF0 = (equal(0xF0) << 1) | afterF0_;
        const unsigned afterF4 = (equal(0xF4) << 1) | afterF4_;

        const unsigned wrong = (continuations ^ ((demanded & 0xFFFF) | pendingContinuations_)) |
                               (fromC0 & ~fromC2) | fromF5 | (afterE0 & ~fromA0) |
                               (afterED & fromA0) | (afterF0 & ~from90) | (afterF4 & from90);
        pendingContinuations_ = demanded >> 16;
        afterE0_ = afterE0 >> 16;
        afterED_ = afterED >> 16;
        afterF0_ = afterF0 >> 16;
        afterF4_ = afterF4 >> 16;
        return (wrong & 0xFFFF) == 0;
    }

private:
    static unsigned mask(__m128i bytes) { return static_cast<unsigned>(_mm_movemask_epi8(bytes)); }

    unsigned pendingContinuations_ = 0;
    unsigned afterE0_ = 0;
    unsigned afterED_ = 0;
    unsigned afterF0_ = 0;
    unsigned afterF4_ = 0;
};

}  // namespace

bool isValidUtf8(QByteArrayView bytes) {
    constexpr qsizetype kBlock = 16;
    BlockChecker checker;
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    for (; end - p >= kBlock; p += kBlock)
        if (!checker.check(p)) return false;
    // The rest goes in a block padded with ASCII, so a character cut off at the end, here or in
    // the block before, lacks the continuation bytes it asks for.
    char last[kBlock] = {};
    if (end > p) std::memcpy(last, p, end - p);
    return checker.check(last);
}

#else

bool isValidUtf8(QByteArrayView bytes) {
    return bytes.isValidUtf8();
}

#endif
