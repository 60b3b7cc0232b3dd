#include "core/trim/preserved_content.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <future>
#include <initializer_list>
#include <string_view>

#include "core/kernels/byte_block.h"
#include "core/kernels/kernel_level.h"

namespace {

using byte_block::kSize;

// What a byte is to the tokenizer's loops, so that each step of them tests one table entry.
enum ByteClass : std::uint8_t {
    kTagSpace = 1,  // tab, LF, FF, CR and space
    kSlash = 2,
    kGreaterThan = 4,
    kEquals = 8,
    kLetter = 16,  // ASCII
};

constexpr std::array<std::uint8_t, 256> kByteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (const unsigned char c : {'\t', '\n', '\f', '\r', ' '}) classes[c] = kTagSpace;
    classes['/'] = kSlash;
    classes['>'] = kGreaterThan;
    classes['='] = kEquals;
    for (int c = 'a'; c <= 'z'; ++c) classes[c] = classes[c - 'a' + 'A'] = kLetter;
    return classes;
}();

bool is(char c, unsigned classes) {
    return kByteClasses[static_cast<unsigned char>(c)] & classes;
}

bool isTagSpace(char c) {
    return is(c, kTagSpace);
}

bool isAsciiLetter(char c) {
    return is(c, kLetter);
}

char folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

// Whether the bytes at p, of which there are at least lowercase.size(), spell lowercase in any
// case.
bool spells(const char *p, std::string_view lowercase) {
    for (const char c : lowercase) {
        if (folded(*p++) != c) return false;
    }
    return true;
}

bool startsWith(const char *p, const char *end, std::string_view lowercase) {
    return end - p >= qsizetype(lowercase.size()) && spells(p, lowercase);
}

// Whether the bytes at p, of which there are at least name.size(), are name in any case.
bool spellsName(const char *p, QByteArrayView name) {
    return std::equal(name.begin(), name.end(), p,
                      [](char a, char b) { return folded(a) == folded(b); });
}

bool isName(QByteArrayView name, std::string_view lowercase) {
    return name.size() == qsizetype(lowercase.size()) && spells(name.data(), lowercase);
}

bool isOneOf(QByteArrayView name, std::initializer_list<std::string_view> names) {
    return std::any_of(names.begin(), names.end(),
                       [name](std::string_view lowercase) { return isName(name, lowercase); });
}

// --- The cheap look: most pages name none of these elements and have no white-space at all.

// At p: one of the names of elements that preserve spaces behind a <, or white-space.
bool isCandidate(const char *p, const char *end) {
    if (*p == '<') {
        for (const std::string_view name : {"pre", "plaintext", "textarea", "listing", "xmp"}) {
            if (startsWith(p + 1, end, name)) return true;
        }
        return false;
    }
    return startsWith(p, end, "white-space");
}

// The first stretch of Wide bytes from p on that may start a candidate: one that holds a <
// followed by p, l, x or te, or an e-s, in either case. Fewer than Wide + 2 bytes before end are
// not looked at: it returns where they start. Written once for vectors of any width, which the
// compiler makes of as many of the processor's registers as it takes.
template <qsizetype Wide>
struct Vectors;
template <>
struct Vectors<16> {
    using Bytes = char __attribute__((vector_size(16)));
    using Words = std::uint64_t __attribute__((vector_size(16)));
};
template <>
struct Vectors<32> {
    using Bytes = char __attribute__((vector_size(32)));
    using Words = std::uint64_t __attribute__((vector_size(32)));
};

template <qsizetype Wide>
[[gnu::always_inline]] inline const char *scanForCandidates(const char *p, const char *end) {
    using WideBytes = typename Vectors<Wide>::Bytes;
    using WideWords = typename Vectors<Wide>::Words;
    for (; end - p >= Wide + 2; p += Wide) {
        WideBytes here, next, afterNext;
        std::memcpy(&here, p, Wide);
        std::memcpy(&next, p + 1, Wide);
        std::memcpy(&afterNext, p + 2, Wide);
        const WideBytes foldedNext = next | 0x20;
        const WideBytes foldedAfterNext = afterNext | 0x20;
        const auto name = (foldedNext == 'p') | (foldedNext == 'l') | (foldedNext == 'x') |
                          ((foldedNext == 't') & (foldedAfterNext == 'e'));
        const auto found = ((here == '<') & name) |
                           (((here | 0x20) == 'e') & (next == '-') & (foldedAfterNext == 's'));
        WideWords words;
        std::memcpy(&words, &found, Wide);
        std::uint64_t any = 0;
        for (qsizetype word = 0; word < Wide / 8; ++word) any |= words[word];
        if (any) return p;
    }
    return p;
}

// The portable look takes 16 bytes a step, as wide as every processor's vectors are.
constexpr qsizetype kPortableWide = 16;
const char *scanPlainly(const char *p, const char *end) {
    return scanForCandidates<kPortableWide>(p, end);
}

#ifdef ZEREDIZ_X86_64_KERNELS
// With AVX2 the look takes 32 bytes a step, and costs well under half of what the portable one
// does on a page without candidates.
constexpr qsizetype kAvx2Wide = 32;
[[gnu::target("avx2")]] const char *scanWithAvx2(const char *p, const char *end) {
    return scanForCandidates<kAvx2Wide>(p, end);
}
#endif

using CandidateScan = const char *(*)(const char *p, const char *end);
constexpr Kernel<CandidateScan> kCandidateScan{&scanPlainly, ZEREDIZ_X86_64(&scanWithAvx2)};

// The look steps this far at most: the widest step of any level.
constexpr qsizetype kWide = 32;

// Whether a page may hold an element that preserves white space: where it names none of them
// behind a < and says nothing of white-space, it has none. Looks at the places from from to to,
// reading on behind to where a name starts before it.
bool mayHoldPreservedContent(QByteArrayView page, qsizetype from, qsizetype to) {
    const char *const begin = page.data();
    const char *const end = begin + page.size();
    const char *const last = begin + to;
    // The stretches looked at in one step, the last one reaching behind to.
    const char *const limit = end - last > kWide + 2 ? last + kWide + 2 : end;
    const CandidateScan scan = kCandidateScan.chosen();
    for (const char *p = begin + from; p < last;) {
        p = scan(p, limit);
        const char *const stop = limit - p >= kWide + 2 ? p + kWide : limit;
        for (; p < stop; ++p) {
            // An "e-s" stands four bytes into white-space.
            if (isCandidate(p, end) || (p - begin >= 4 && isCandidate(p - 4, end))) return true;
        }
    }
    return false;
}

// --- The style attribute.

QByteArrayView trimmedCss(QByteArrayView text) {
    while (!text.isEmpty() && isTagSpace(text.front())) text = text.sliced(1);
    while (!text.isEmpty() && isTagSpace(text.back())) text.chop(1);
    return text;
}

// Whether a declaration's value keeps spaces: one of its words is a keyword that does.
bool keepsSpaces(QByteArrayView value) {
    // !important and what follows it is no keyword.
    const qsizetype bang = value.indexOf('!');
    if (bang >= 0) value.truncate(bang);
    while (!value.isEmpty()) {
        value = trimmedCss(value);
        qsizetype length = 0;
        while (length < value.size() && !isTagSpace(value[length])) ++length;
        if (isOneOf(value.first(length),
                    {"pre", "pre-wrap", "break-spaces", "preserve", "preserve-spaces"}))
            return true;
        value = value.sliced(length);
    }
    return false;
}

// The declarations of a style attribute, without CSS comments, split at each ; and :. A later
// declaration may undo an earlier one; one that keeps spaces is enough here, since keeping
// spaces that a browser would not show changes nothing it shows.
bool styleKeepsSpaces(QByteArrayView style) {
    QByteArray text;  // short: the value of one attribute
    for (qsizetype i = 0; i < style.size(); ++i) {
        if (style[i] == '/' && i + 1 < style.size() && style[i + 1] == '*') {
            const qsizetype close = style.indexOf("*/", i + 2);
            if (close < 0) break;
            text += ' ';
            i = close + 1;
            continue;
        }
        text += style[i];
    }
    for (QByteArrayView rest(text); !rest.isEmpty();) {
        const qsizetype semicolon = rest.indexOf(';');
        const QByteArrayView declaration = semicolon < 0 ? rest : rest.first(semicolon);
        rest = semicolon < 0 ? QByteArrayView() : rest.sliced(semicolon + 1);
        const qsizetype colon = declaration.indexOf(':');
        if (colon < 0) continue;
        const QByteArrayView property = trimmedCss(declaration.first(colon));
        if (!isOneOf(property, {"white-space", "white-space-collapse"})) continue;
        if (keepsSpaces(declaration.sliced(colon + 1))) return true;
    }
    return false;
}

// --- The tokenizer.

// Elements whose text ends only at their own end tag, holding no markup.
bool holdsRawText(QByteArrayView name) {
    return isOneOf(
        name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes"});
}

bool preservesSpacesByName(QByteArrayView name) {
    return isOneOf(name, {"pre", "textarea", "listing", "xmp", "plaintext"});
}

// Whether a start tag of this name may do more than open an element: most tags of a page are
// not one of those above, which this tells from the length and the first letter alone.
bool isSpecial(QByteArrayView name) {
    const qsizetype length = name.size();
    constexpr unsigned kLengths = 1 << 3 | 1 << 5 | 1 << 6 | 1 << 7 | 1 << 8 | 1 << 9;
    constexpr unsigned kFirstLetters = 1 << ('i' - 'a') | 1 << ('l' - 'a') | 1 << ('n' - 'a') |
                                       1 << ('p' - 'a') | 1 << ('s' - 'a') | 1 << ('t' - 'a') |
                                       1 << ('x' - 'a');
    const unsigned letter = static_cast<unsigned char>(name[0] | 0x20) - 'a';
    return length < 10 && (kLengths >> length & 1) && letter < 26 && (kFirstLetters >> letter & 1);
}

// Elements that never have content: their start tag is all there is.
bool isVoid(QByteArrayView name) {
    return isOneOf(
        name, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "image",
               "img", "input", "keygen", "link", "meta", "param", "source", "track", "wbr"});
}

struct Tag {
    QByteArrayView name;
    QByteArrayView style;  // the value of its first style attribute
    bool hasStyle = false;
    const char *after = nullptr;  // behind its >; null where the page ends inside it
};

const char *skipTagSpaces(const char *p, const char *end) {
    while (p < end && isTagSpace(*p)) ++p;
    return p;
}

const char *skipUnless(const char *p, const char *end, unsigned classes) {
    while (p < end && !is(*p, classes)) ++p;
    return p;
}

// Reads a tag from its name, which starts at p with a letter, to its >.
Tag readTag(const char *p, const char *end) {
    Tag tag;
    const char *const name = p;
    p = skipUnless(p, end, kTagSpace | kSlash | kGreaterThan);
    tag.name = QByteArrayView(name, p);
    while (true) {
        while (p < end && is(*p, kTagSpace | kSlash)) ++p;
        if (p == end) return tag;
        if (*p == '>') {
            tag.after = p + 1;
            return tag;
        }
        // An attribute name takes a = in its first place as a character of its own.
        const char *const attribute = p;
        p = skipUnless(p + 1, end, kTagSpace | kSlash | kGreaterThan | kEquals);
        const QByteArrayView attributeName(attribute, p);
        QByteArrayView value;
        p = skipTagSpaces(p, end);
        if (p < end && *p == '=') {
            p = skipTagSpaces(p + 1, end);
            if (p == end) return tag;
            if (*p == '"' || *p == '\'') {
                const char quote = *p++;
                const char *const start = p;
                while (p < end && *p != quote) ++p;
                if (p == end) return tag;
                value = QByteArrayView(start, p++);
            } else {
                const char *const start = p;
                p = skipUnless(p, end, kTagSpace | kGreaterThan);
                value = QByteArrayView(start, p);
            }
        }
        // The first of two attributes of one name counts.
        if (!tag.hasStyle && isName(attributeName, "style")) {
            tag.hasStyle = true;
            tag.style = value;
        }
    }
}

// The <, > and = among the 64 bytes from p on, as masks whose bit i stands for byte i.
struct MarkupBytes {
    std::uint64_t lessThan = 0;
    std::uint64_t greaterThan = 0;
    std::uint64_t equals = 0;
};

MarkupBytes markupBytes(const char *p) {
    MarkupBytes bytes;
    for (int i = 0; i < 64; i += kSize) {
        bytes.lessThan |= std::uint64_t{byte_block::matches(p + i, '<')} << i;
        bytes.greaterThan |= std::uint64_t{byte_block::matches(p + i, '>')} << i;
        bytes.equals |= std::uint64_t{byte_block::matches(p + i, '=')} << i;
    }
    return bytes;
}

// What plainTagClose answers where it finds no end.
constexpr int kGoesOn = -1;   // the tag goes on behind the block
constexpr int kUnclear = -2;  // the tag may do something, or its end needs a closer look

std::uint64_t bitsBelow(int bit) {
    return bit >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bit) - 1;
}

// The first set bit of mask from bit from on, or -1.
int firstFrom(std::uint64_t mask, int from) {
    mask &= ~bitsBelow(from);
    return mask == 0 ? -1 : std::countr_zero(mask);
}

// Where a tag whose < is byte at of the block at block ends, for a tag that does nothing
// outside preserved content: an end tag, or a start tag of no special name and without a style.
// Answers the place of its > in the block. Only an attribute value can hold a >, so a tag ends at
// the first > that no value holds. Most values are in double quotes, right behind the = that ends
// a name: tags whose values are all such, none a style, are read here.
int plainTagClose(const char *block, const MarkupBytes &bytes, int at) {
    const char *const markup = block + at;
    const bool isEndTag = markup[1] == '/';
    const char *const name = markup + 1 + isEndTag;
    if (!isAsciiLetter(*name)) return kUnclear;
    const char *nameEnd = nullptr;
    for (int from = at + 1;;) {
        const int closeAt = firstFrom(bytes.greaterThan, from);
        if (closeAt < 0) return kGoesOn;
        const std::uint64_t equals = bytes.equals & bitsBelow(closeAt) & ~bitsBelow(from);
        if (equals == 0) {
            if (isEndTag) return closeAt;
            if (!nameEnd)
                nameEnd = skipUnless(name, block + closeAt, kTagSpace | kSlash | kGreaterThan);
            return isSpecial(QByteArrayView(name, nameEnd)) ? kUnclear : closeAt;
        }
        // A = starts a value only where it ends an attribute's name: not in the tag's name, nor
        // as the first byte of a name.
        const char *const equalsSign = block + std::countr_zero(equals);
        if (equalsSign[1] != '"' || !isAsciiLetter(equalsSign[-1])) return kUnclear;
        if (!nameEnd) nameEnd = skipUnless(name, equalsSign, kTagSpace | kSlash | kGreaterThan);
        if (nameEnd == equalsSign || (equalsSign - nameEnd > 5 && spells(equalsSign - 5, "style")))
            return kUnclear;
        const auto *quote = static_cast<const char *>(
            std::memchr(equalsSign + 2, '"', std::size_t(block + 64 - (equalsSign + 2))));
        if (!quote) return kGoesOn;
        from = int(quote - block) + 1;
    }
}

// The next < from p on, or end.
const char *findLessThan(const char *p, const char *end) {
    const auto *found = static_cast<const char *>(std::memchr(p, '<', std::size_t(end - p)));
    return found ? found : end;
}

// Where a comment that starts at p with <!-- ends: behind its -->, or --!>, or at the end.
const char *afterComment(const char *p, const char *end) {
    const char *text = p + 4;
    if (text < end && *text == '>') return text + 1;
    if (end - text >= 2 && text[0] == '-' && text[1] == '>') return text + 2;
    for (; end - text >= 3; ++text) {
        text = static_cast<const char *>(std::memchr(text, '-', end - text - 2));
        if (!text) break;
        if (text[1] != '-') continue;
        if (text[2] == '>') return text + 3;
        if (end - text >= 4 && text[2] == '!' && text[3] == '>') return text + 4;
    }
    return end;
}

// Behind the next >, or the end.
const char *afterGreaterThan(const char *p, const char *end) {
    const auto *close = static_cast<const char *>(std::memchr(p, '>', end - p));
    return close ? close + 1 : end;
}

// Where the raw text of the element name that starts at p ends: at the < of its end tag, or at
// the end of the page.
const char *rawTextEnd(const char *p, const char *end, QByteArrayView name) {
    const qsizetype length = name.size();
    for (p = findLessThan(p, end); p < end; p = findLessThan(p + 1, end)) {
        if (end - p < length + 3 || p[1] != '/' || !spellsName(p + 2, name)) continue;
        if (is(p[2 + length], kTagSpace | kSlash | kGreaterThan)) return p;
    }
    return end;
}

// Reads a page from its start, or from a point where it is taken to be in text, outside any
// preserved content.
class Finder {
public:
    explicit Finder(QByteArrayView page) : begin_(page.data()), end_(begin_ + page.size()) {}

    // Reads from from to the end of the page.
    std::vector<ByteRange> readToEnd(const char *from) {
        readUntil(from, end_);
        return finish();
    }

    // Reads from the start until the markup that goes on from until; says whether it stopped
    // right there, in text and outside preserved content, as a reading that starts at until is.
    // Otherwise it has read to the end.
    bool readUntilInText(const char *until) {
        const char *const stoppedAt = readUntil(begin_, until);
        if (stoppedAt <= until && depth_ == 0) return true;
        readUntil(stoppedAt, end_);
        return false;
    }

    std::vector<ByteRange> finish() {
        if (depth_ > 0) close(end_);
        return std::move(ranges_);
    }

private:
    // Reads markup from p on, in text, until the first < from until on; returns where text goes
    // on behind the last markup read, which may lie behind until.
    const char *readUntil(const char *p, const char *until) {
        while (p < end_) {
            if (depth_ == 0) p = skipPlainTags(p, until);
            const char *const markup = findLessThan(p, end_);
            if (markup >= until) return p;
            p = afterMarkup(markup);
        }
        return p;
    }

    // Outside preserved content most tags do nothing, and only where they end counts. Skips such
    // tags 64 bytes at a time, with masks of the bytes that matter, from p in text on; returns
    // where text goes on before the first markup that needs a closer look, or before the first
    // < from until on.
    const char *skipPlainTags(const char *p, const char *until) {
        // The two bytes behind a block's last < are read.
        for (const char *block = p; end_ - block >= 66;) {
            const MarkupBytes bytes = markupBytes(block);
            const char *next = block + 64;
            for (std::uint64_t lessThans = bytes.lessThan; lessThans != 0;
                 lessThans &= lessThans - 1) {
                const int at = std::countr_zero(lessThans);
                const char *const markup = block + at;
                if (markup < p) continue;  // inside a tag skipped already
                if (markup >= until) return p;
                const int closeAt = plainTagClose(block, bytes, at);
                if (closeAt == kUnclear || (closeAt == kGoesOn && markup == block)) return p;
                if (closeAt == kGoesOn) {
                    next = markup;
                    break;
                }
                p = block + closeAt + 1;
            }
            block = std::max(next, p);
        }
        return p;
    }

    // Reads what starts with the < at p; returns where text goes on.
    const char *afterMarkup(const char *p) {
        const char *const next = p + 1;
        if (next == end_) return end_;
        // Start and end tags take one way: what they do differs for few of them.
        const bool isEndTag = *next == '/';
        if (next + isEndTag < end_ && isAsciiLetter(next[isEndTag])) {
            const Tag tag = readTag(next + isEndTag, end_);
            if (!tag.after) return end_;
            if (depth_ == 0 && !tag.hasStyle && !isSpecial(tag.name)) return tag.after;
            return isEndTag ? endTag(tag, p) : startTag(tag);
        }
        if (*next == '!') {
            if (end_ - next >= 3 && next[1] == '-' && next[2] == '-') return afterComment(p, end_);
            return afterGreaterThan(next, end_);
        }
        if (*next == '?') return afterGreaterThan(next, end_);
        if (isEndTag) {
            if (end_ - next < 2) return end_;
            return next[1] == '>' ? next + 2 : afterGreaterThan(next, end_);
        }
        return next;
    }

    const char *startTag(const Tag &tag) {
        if (depth_ > 0) {
            if (isSameName(tag.name)) ++depth_;
        } else if (preservesSpacesByName(tag.name) ||
                   (tag.hasStyle && !isVoid(tag.name) && styleKeepsSpaces(tag.style))) {
            open_ = tag.name;
            depth_ = 1;
            content_ = tag.after;
        }
        if (isName(tag.name, "plaintext")) return end_;
        if (holdsRawText(tag.name)) return rawTextEnd(tag.after, end_, tag.name);
        return tag.after;
    }

    const char *endTag(const Tag &tag, const char *p) {
        if (depth_ > 0 && isSameName(tag.name) && --depth_ == 0) close(p);
        return tag.after;
    }

    bool isSameName(QByteArrayView name) const {
        return name.size() == open_.size() && spellsName(name.data(), open_);
    }

    void close(const char *p) {
        if (p > content_) ranges_.push_back({content_ - begin_, p - begin_});
        depth_ = 0;
    }

    const char *const begin_;
    const char *const end_;
    std::vector<ByteRange> ranges_;
    QByteArrayView open_;  // the name of the element whose content is preserved, as written
    qsizetype depth_ = 0;  // its start tags not yet matched by an end tag
    const char *content_ = nullptr;
};

}  // namespace

std::vector<ByteRange> preservedContent(QByteArrayView page) {
    // Below this size a second thread costs more than it saves.
    constexpr qsizetype kHalvedFrom = qsizetype{4} << 20;
    if (page.size() < kHalvedFrom) {
        if (!mayHoldPreservedContent(page, 0, page.size())) return {};
        return Finder(page).readToEnd(page.data());
    }

    // A big page is looked at and read in two halves at once: the second from its middle, as if
    // that were in text outside preserved content, which it mostly is. Where the reading of the
    // first half finds it is not, that reading goes on to the end, and the second is not used.
    // Where no thread can be had, the second half is read when get() asks for it.
    const qsizetype half = page.size() / 2;
    const char *const middle = page.data() + half;
    auto mayHoldSecond = std::async(std::launch::async | std::launch::deferred, [page, half] {
        return mayHoldPreservedContent(page, half, page.size());
    });
    const bool mayHoldFirst = mayHoldPreservedContent(page, 0, half);
    if (!mayHoldSecond.get() && !mayHoldFirst) return {};
    auto secondHalf = std::async(std::launch::async | std::launch::deferred,
                                 [page, middle] { return Finder(page).readToEnd(middle); });
    Finder first(page);
    const bool joins = first.readUntilInText(middle);
    std::vector<ByteRange> ranges = first.finish();
    if (!joins) return ranges;
    const std::vector<ByteRange> rest = secondHalf.get();
    ranges.insert(ranges.end(), rest.begin(), rest.end());
    return ranges;
}
