#include "ui/text/block_sums.h"

#include "core/encoding/utf8_check.h"
#include "core/kernels/byte_block.h"

namespace {

bool isContinuation(unsigned char byte) {
    return byte >= 0x80 && byte <= 0xBF;
}
bool isLead(unsigned char byte) {
    return byte >= 0xC2 && byte <= 0xF4;
}

// The bits set among sixteen, without the library call that std::popcount is on a processor
// the build may not assume POPCNT of.
int bitCount(unsigned mask) {
    mask = mask - ((mask >> 1) & 0x5555u);
    mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
    mask = (mask + (mask >> 4)) & 0x0F0Fu;
    return int((mask + (mask >> 8)) & 0x1Fu);
}

// The line ends among sixteen bytes at p, where next says whether the byte behind them is a LF.
int lineEndsIn(const char *p, bool next) {
    const unsigned lf = byte_block::matches(p, '\n');
    const unsigned cr = byte_block::matches(p, '\r');
    // A CR with a LF behind it ends its line at the LF.
    const unsigned followed = (lf >> 1) | (next ? 0x8000u : 0u);
    return bitCount(lf) + bitCount(cr & ~followed);
}

// The sums of bytes that start and end where a block may, a character at a time, or sixteen
// bytes at a time where they are all ASCII.
BlockSums sumEach(const char *p, const char *end) {
    BlockSums c;
    while (p < end) {
        if (end - p > byte_block::kSize && byte_block::nonAscii(p) == 0) {
            c.units += byte_block::kSize;
            c.lineEnds += lineEndsIn(p, p[byte_block::kSize] == '\n');
            p += byte_block::kSize;
            continue;
        }
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (byte < 0x80) {
            if (byte == '\n' || (byte == '\r' && (p + 1 == end || p[1] != '\n'))) ++c.lineEnds;
            ++c.units;
            ++p;
            continue;
        }
        const int length = utf8SequenceLength(p, end);
        c.units += length == 4 ? 2 : 1;
        p += length == 0 ? 1 : length;
    }
    return c;
}

}  // namespace

// A continuation byte is inside a well-formed character where a lead byte stands among the three
// before it.
bool mayStartBlock(const char *begin, const char *p) {
    if (p == begin) return true;
    if (p[-1] == '\r' && p[0] == '\n') return false;
    if (!isContinuation(static_cast<unsigned char>(p[0]))) return true;
    for (const char *q = p - 1; q >= begin && q >= p - 3; --q) {
        if (isLead(static_cast<unsigned char>(*q))) return false;
    }
    return true;
}

// Bytes that are well-formed UTF-8 are summed otherwise: each character is one code unit for its
// first byte, and one more where that byte starts four. The loop over a chunk has no branch and
// sums into bytes, so the compiler runs it on the processor's vectors, as many bytes a step as they
// hold.
BlockSums sumBlock(const char *p, const char *end) {
    if (!isValidUtf8(QByteArrayView(p, end - p))) return sumEach(p, end);
    BlockSums c;
    constexpr int kChunk = 240;  // whose sums fit in a byte
    for (; end - p > kChunk; p += kChunk) {
        unsigned char continuations = 0;
        unsigned char longLeads = 0;
        unsigned char lineEnds = 0;
        for (int i = 0; i < kChunk; ++i) {
            const auto byte = static_cast<unsigned char>(p[i]);
            continuations += (byte & 0xC0) == 0x80;
            longLeads += byte >= 0xF0;
            // A CR with a LF behind it ends its line at the LF.
            lineEnds += (byte == '\n') | ((byte == '\r') & (p[i + 1] != '\n'));
        }
        c.units += kChunk - continuations + longLeads;
        c.lineEnds += lineEnds;
    }
    // The rest may start inside a character.
    for (; p < end; ++p) {
        const unsigned char byte = static_cast<unsigned char>(*p);
        c.units += !isContinuation(byte) + (byte >= 0xF0);
        if (byte == '\n' || (byte == '\r' && (p + 1 == end || p[1] != '\n'))) ++c.lineEnds;
    }
    return c;
}

const char *afterLineEnd(const char *p, const char *end, qsizetype lineEnd) {
    for (; p < end; ++p) {
        if (*p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n'))) {
            if (--lineEnd == 0) return p + 1;
        }
    }
    return end;
}
