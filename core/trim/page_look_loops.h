#pragma once

#include <QtGlobal>

// The look of page_look.h, written once for blocks of bytes of any width and compiled once per
// width, each in a file of its own built for the instructions that width needs.
//
// A Block type tells its width (kSize), its mask type (Mask, whose bit i stands for byte i) and
// the masks of the block at p (masks; it reads the two bytes behind the block too): where a <
// stands before p, l, x, s, m or te, in either case; where a = stands; where an e or E, a double
// quote, a single quote, a line end, white space and a - stand. The places of a < and a - are
// looked at closely; those of a = are mostly told by the masks alone.

struct LookSpan {
    const char *begin;  // of the page
    const char *from;   // the patterns that start from here
    const char *to;     // up to here
    const char *end;    // of the page
};

using LookFunction = bool (*)(const LookSpan &span);

// The look for processors with AVX2, in a file of its own.
bool lookWithAvx2(const LookSpan &span);

// Everything below is compiled into each file that includes it, for that file's instructions.
namespace {

[[gnu::always_inline]] inline char foldedAt(const char *p) {
    return static_cast<char>(*p | 0x20);
}

inline bool spellsFolded(const char *p, const char *end, const char *lowercase) {
    for (; *lowercase; ++p, ++lowercase) {
        if (p == end || foldedAt(p) != *lowercase) return false;
    }
    return true;
}

[[gnu::always_inline]] inline bool isLookSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether the < at p opens one of the elements the look is for.
inline bool namesElement(const char *p, const char *end) {
    for (const char *name : {"pre", "plaintext", "textarea", "listing", "xmp", "script", "style",
                             "link", "svg", "math"}) {
        if (spellsFolded(p + 1, end, name)) return true;
    }
    return false;
}

// Whether the - at p is the first in a tag's name, as the name of a custom element has one: the
// name starts with a letter behind a <, and holds no white space, /, > or - before it. Looking
// back stops at the - before, so that each byte is looked at once however many - a page holds.
inline bool startsCustomElementName(const char *begin, const char *p) {
    const char *name = p;
    while (name > begin && !isLookSpace(name[-1]) && name[-1] != '<' && name[-1] != '>' &&
           name[-1] != '/' && name[-1] != '-')
        --name;
    const char first = static_cast<char>(*name | 0x20);
    return name < p && name > begin && name[-1] == '<' && first >= 'a' && first <= 'z';
}

// Whether the = at p ends the name of a style, white-space or xml:space attribute.
inline bool namesStyle(const char *begin, const char *p) {
    while (p > begin && isLookSpace(p[-1])) --p;
    for (const char *name : {"style", "white-space", "xml:space"}) {
        const qsizetype length = qsizetype(__builtin_strlen(name));
        if (p - begin >= length && spellsFolded(p - length, p, name)) return true;
    }
    return false;
}

// Whether the = at p starts a quoted value that holds a line end.
inline bool startsValueWithLineEnd(const char *p, const char *end) {
    ++p;
    while (p < end && isLookSpace(*p)) ++p;
    if (p == end || (*p != '"' && *p != '\'')) return false;
    // Most values are a few bytes long: looked at a byte at a time.
    const char quote = *p++;
    for (; p < end && *p != quote; ++p) {
        if (*p == '\n' || *p == '\r') return true;
    }
    return false;
}

inline bool equalsCounts(const char *begin, const char *p, const char *end) {
    return namesStyle(begin, p) || startsValueWithLineEnd(p, end);
}

// A byte at a time, for the bytes that no block covers.
inline bool lookAtBytes(const char *begin, const char *from, const char *to, const char *end) {
    for (const char *p = from; p < to; ++p) {
        if (*p == '<' && namesElement(p, end)) return true;
        if (*p == '=' && equalsCounts(begin, p, end)) return true;
        if (*p == '-' && startsCustomElementName(begin, p)) return true;
    }
    return false;
}

template <typename Mask>
[[gnu::always_inline]] inline Mask bitsFrom(int bit) {
    return bit >= int(sizeof(Mask) * 8) ? Mask{0} : ~Mask{0} << bit;
}

// The places where the values that quote right behind a = of the block opens need a closer
// look: none where each meets its closing quote before any line end. For each opening, the first
// of the closing quotes and line ends behind it is the lowest bit of events that the
// subtraction's borrow from the place behind the opening clears. Where two openings share that
// bit, or the last one may have none in the block, the masks cannot tell, and all of it is to be
// looked at.
template <typename Mask>
[[gnu::always_inline]] inline Mask unclearValues(Mask quotes, Mask equals, Mask lineEnds) {
    constexpr int kBits = int(sizeof(Mask) * 8);
    const Mask openings = (equals << 1) & quotes;
    const Mask starts = openings << 1;
    const Mask events = (quotes | lineEnds) & ~openings;
    const Mask first = events & ~(events - starts);
    const bool unclear = (openings >> (kBits - 1)) != 0 || events < starts ||
                         __builtin_popcountll(first) != __builtin_popcountll(starts);
    return (first & lineEnds) | (unclear ? ~Mask{0} : Mask{0});
}

// The = at at in the block at p: whether its attribute or its value counts.
template <typename Block>
[[gnu::always_inline]] inline bool equalsCountsIn(const LookSpan &span, const char *p, int at,
                                                  const typename Block::Masks &masks) {
    using Mask = typename Block::Mask;
    // Each name of the look ends in an e.
    const bool mayName = at == 0 || ((masks.es | masks.spaces) >> (at - 1) & 1);
    if (mayName && namesStyle(span.begin, p + at)) return true;
    // A value in quotes right behind the =, closed in this block, is told by the masks.
    const int open = at + 1;
    if (open < int(Block::kSize)) {
        const Mask quotes = (masks.doubleQuotes >> open & 1)   ? masks.doubleQuotes
                            : (masks.singleQuotes >> open & 1) ? masks.singleQuotes
                                                               : Mask{0};
        const Mask closing = quotes & bitsFrom<Mask>(open + 1);
        if (closing != 0) {
            const Mask inside =
                bitsFrom<Mask>(open + 1) & ~bitsFrom<Mask>(__builtin_ctzll(closing));
            return (masks.lineEnds & inside) != 0;
        }
    }
    return startsValueWithLineEnd(p + at, span.end);
}

template <typename Block>
[[gnu::always_inline]] inline bool lookIn(const LookSpan &span) {
    using Mask = typename Block::Mask;
    constexpr int kSize = int(Block::kSize);
    const char *p = span.from;
    for (; span.to - p >= kSize && span.end - p >= kSize + 2; p += kSize) {
        const auto masks = Block::masks(p);
        // Most blocks are told by their masks alone: no < names an element, and each value in
        // quotes right behind a = closes before a line end. A = at the block's end, before white
        // space or behind a name that may be style is looked at closely, as is every block that
        // the masks do not tell.
        const Mask closely = masks.equals & ((masks.spaces >> 1) | (Mask{1} << (kSize - 1)) |
                                             ((masks.es | masks.spaces) << 1) | Mask{1});
        const Mask look =
            masks.elements | closely | masks.hyphens |
            (masks.equals == 0
                 ? Mask{0}
                 : unclearValues<Mask>(masks.doubleQuotes, masks.equals, masks.lineEnds) |
                       unclearValues<Mask>(masks.singleQuotes, masks.equals, masks.lineEnds));
        if (look == 0) continue;
        for (Mask found = masks.elements; found != 0; found &= found - 1) {
            if (namesElement(p + __builtin_ctzll(found), span.end)) return true;
        }
        for (Mask found = masks.equals; found != 0; found &= found - 1) {
            if (equalsCountsIn<Block>(span, p, __builtin_ctzll(found), masks)) return true;
        }
        for (Mask found = masks.hyphens; found != 0; found &= found - 1) {
            if (startsCustomElementName(span.begin, p + __builtin_ctzll(found))) return true;
        }
    }
    return lookAtBytes(span.begin, p, span.to, span.end);
}

}  // namespace
