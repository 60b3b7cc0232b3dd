#pragma once

#include <QtGlobal>

// Text made of ASCII and the two-byte characters of a charset such as GB18030, decoded to UTF-8
// 64 bytes at a time, for processors with AVX-512 (BW, VBMI2). Runs of Chinese words between
// tags are a few characters long, and going from one character at a time to a block at a time
// keeps the processor from guessing wrong where each run ends.

// What a two-byte code stands for: its UTF-8 in the low three bytes and their number in the
// high one, or 0 where a block may not decode it itself (no character, or one of four bytes).
using PackedCharacter = quint32;
constexpr qsizetype kTwoByteFirstLead = 0x81;

// Decodes whole blocks from in on, up to the first one that holds anything else (a byte that is
// no lead before a trail byte, a code whose entry is 0), or to where fewer than 96 bytes are left;
// answers where it stopped, a character boundary. table holds an entry for each lead from
// kTwoByteFirstLead on and each trail byte, at (lead - kTwoByteFirstLead) * 256 + trail. out has
// room for twice as many bytes as there are from in to end, and four more.
using TwoByteBlocksDecode = const char *(*)(const char *in, const char *end, char *&out,
                                            const PackedCharacter *table);
const char *decodeTwoByteBlocksWithAvx512(const char *in, const char *end, char *&out,
                                          const PackedCharacter *table);
