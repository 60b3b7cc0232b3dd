#pragma once

#include <QtGlobal>
#include <cstring>

// The look of page_look.h, written once for blocks of bytes of any width and compiled once per
// width, each in a file of its own built for the instructions that width needs.
//
// A Block type tells its width (kSize) and the bytes of the block at p where one of the look's
// patterns may start (candidates, a mask whose bit i stands for byte i; it reads the two bytes
// behind the block too): a < before p, l, x, s, m or te; a = before a quote or white space; a - or
// : before sp; st before y. Letters in any case. Each candidate is then looked at closely.

using LookFunction = bool (*)(const char *from, const char *to, const char *end);

// The look for processors with AVX2, and for those with AVX-512, each in a file of its own.
bool lookWithAvx2(const char *from, const char *to, const char *end);
bool lookWithAvx512(const char *from, const char *to, const char *end);

// Everything below is compiled into each file that includes it, for that file's instructions.
namespace {

[[gnu::always_inline]] inline char foldedAt(const char *p) {
    return static_cast<char>(*p | 0x20);
}

[[gnu::always_inline]] inline bool spellsFolded(const char *p, const char *end,
                                                const char *lowercase) {
    for (; *lowercase; ++p, ++lowercase) {
        if (p == end || foldedAt(p) != *lowercase) return false;
    }
    return true;
}

[[gnu::always_inline]] inline bool isLookSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether the pattern that may start at p, up to end, is one that counts.
inline bool counts(const char *p, const char *end) {
    switch (*p) {
        case '<':
            for (const char *name : {"pre", "plaintext", "textarea", "listing", "xmp", "script",
                                     "style", "link", "svg", "math"}) {
                if (spellsFolded(p + 1, end, name)) return true;
            }
            return false;
        case '=': {
            // A quoted value that holds a line end.
            ++p;
            while (p < end && isLookSpace(*p)) ++p;
            if (p == end || (*p != '"' && *p != '\'')) return false;
            const char quote = *p++;
            const auto *close =
                static_cast<const char *>(std::memchr(p, quote, std::size_t(end - p)));
            const auto length = std::size_t((close ? close : end) - p);
            return std::memchr(p, '\n', length) || std::memchr(p, '\r', length);
        }
        case '-':
        case ':':
            return spellsFolded(p + 1, end, "space");
        default:
            return spellsFolded(p, end, "style");
    }
}

// Whether a pattern may start at p, for the bytes that no block covers.
[[gnu::always_inline]] inline bool mayStart(const char *p) {
    const char c = *p;
    return c == '<' || c == '=' || c == '-' || c == ':' || (c | 0x20) == 's';
}

// Looks at the patterns that start from from up to to; the page goes on to end.
template <typename Block>
[[gnu::always_inline]] inline bool lookIn(const char *from, const char *to, const char *end) {
    const char *p = from;
    for (; to - p >= Block::kSize && end - p >= Block::kSize + 2; p += Block::kSize) {
        for (auto found = Block::candidates(p); found != 0; found &= found - 1) {
            if (counts(p + __builtin_ctzll(found), end)) return true;
        }
    }
    for (; p < to; ++p) {
        if (mayStart(p) && counts(p, end)) return true;
    }
    return false;
}

}  // namespace
