#pragma once

#include <QByteArrayView>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

// The tag names that HTML's tree builder treats in a way of their own, and what it does with
// each. Every other name is Other, an element that only opens and closes.
// clang-format off
#define ZEREDIZ_HTML_TAGS(X)           \
    X(A, "a")                          \
    X(Address, "address")              \
    X(AnnotationXml, "annotation-xml") \
    X(Applet, "applet")                \
    X(Area, "area")                    \
    X(Article, "article")              \
    X(Aside, "aside")                  \
    X(B, "b")                          \
    X(Base, "base")                    \
    X(Basefont, "basefont")            \
    X(Bgsound, "bgsound")              \
    X(Big, "big")                      \
    X(Blockquote, "blockquote")        \
    X(Body, "body")                    \
    X(Br, "br")                        \
    X(Button, "button")                \
    X(Caption, "caption")              \
    X(Center, "center")                \
    X(Code, "code")                    \
    X(Col, "col")                      \
    X(Colgroup, "colgroup")            \
    X(Dd, "dd")                        \
    X(Desc, "desc")                    \
    X(Details, "details")              \
    X(Dialog, "dialog")                \
    X(Dir, "dir")                      \
    X(Div, "div")                      \
    X(Dl, "dl")                        \
    X(Dt, "dt")                        \
    X(Em, "em")                        \
    X(Embed, "embed")                  \
    X(Fieldset, "fieldset")            \
    X(Figcaption, "figcaption")        \
    X(Figure, "figure")                \
    X(Font, "font")                    \
    X(Footer, "footer")                \
    X(ForeignObject, "foreignobject")  \
    X(Form, "form")                    \
    X(Frame, "frame")                  \
    X(Frameset, "frameset")            \
    X(H1, "h1")                        \
    X(H2, "h2")                        \
    X(H3, "h3")                        \
    X(H4, "h4")                        \
    X(H5, "h5")                        \
    X(H6, "h6")                        \
    X(Head, "head")                    \
    X(Header, "header")                \
    X(Hgroup, "hgroup")                \
    X(Hr, "hr")                        \
    X(Html, "html")                    \
    X(I, "i")                          \
    X(Iframe, "iframe")                \
    X(Image, "image")                  \
    X(Img, "img")                      \
    X(Input, "input")                  \
    X(Keygen, "keygen")                \
    X(Li, "li")                        \
    X(Link, "link")                    \
    X(Listing, "listing")              \
    X(Main, "main")                    \
    X(Malignmark, "malignmark")        \
    X(Marquee, "marquee")              \
    X(Math, "math")                    \
    X(Menu, "menu")                    \
    X(Meta, "meta")                    \
    X(Mglyph, "mglyph")                \
    X(Mi, "mi")                        \
    X(Mn, "mn")                        \
    X(Mo, "mo")                        \
    X(Ms, "ms")                        \
    X(Mtext, "mtext")                  \
    X(Nav, "nav")                      \
    X(Nobr, "nobr")                    \
    X(Noembed, "noembed")              \
    X(Noframes, "noframes")            \
    X(Noscript, "noscript")            \
    X(Object, "object")                \
    X(Ol, "ol")                        \
    X(Optgroup, "optgroup")            \
    X(Option, "option")                \
    X(P, "p")                          \
    X(Param, "param")                  \
    X(Plaintext, "plaintext")          \
    X(Pre, "pre")                      \
    X(Rb, "rb")                        \
    X(Rp, "rp")                        \
    X(Rt, "rt")                        \
    X(Rtc, "rtc")                      \
    X(Ruby, "ruby")                    \
    X(S, "s")                          \
    X(Script, "script")                \
    X(Search, "search")                \
    X(Section, "section")              \
    X(Select, "select")                \
    X(Small, "small")                  \
    X(Source, "source")                \
    X(Span, "span")                    \
    X(Strike, "strike")                \
    X(Strong, "strong")                \
    X(Style, "style")                  \
    X(Sub, "sub")                      \
    X(Summary, "summary")              \
    X(Sup, "sup")                      \
    X(Svg, "svg")                      \
    X(Table, "table")                  \
    X(Tbody, "tbody")                  \
    X(Td, "td")                        \
    X(Template, "template")            \
    X(Textarea, "textarea")            \
    X(Tfoot, "tfoot")                  \
    X(Th, "th")                        \
    X(Thead, "thead")                  \
    X(Title, "title")                  \
    X(Tr, "tr")                        \
    X(Track, "track")                  \
    X(Tt, "tt")                        \
    X(U, "u")                          \
    X(Ul, "ul")                        \
    X(Var, "var")                      \
    X(Wbr, "wbr")                      \
    X(Xmp, "xmp")
// clang-format on

enum class TagId : std::uint8_t {
    Other,
#define ZEREDIZ_TAG_ID(id, name) id,
    ZEREDIZ_HTML_TAGS(ZEREDIZ_TAG_ID)
#undef ZEREDIZ_TAG_ID
};

// The name of a tag in any case; Other for a name of none of these.
TagId tagIdOf(QByteArrayView name);

// Whether two tag names are the same, ASCII letters compared without case.
bool sameTagName(QByteArrayView a, QByteArrayView b);

// An attribute of a tag as written: its name, and its value without the quotes. The value is
// the page's own bytes, character references not yet read.
struct Attribute {
    QByteArrayView name;
    QByteArrayView value;
    bool quoted = false;
};

// A start or end tag as HTML's tokenizer reads it.
struct Tag {
    const char *lessThan = nullptr;
    QByteArrayView name;
    TagId id = TagId::Other;
    bool isEnd = false;
    bool selfClosing = false;           // a / right before its >
    const char *after = nullptr;        // behind its >
    std::vector<Attribute> attributes;  // the first of several of one name only

    // The value of the attribute of this name (given in lower case), if it has one.
    const Attribute *attribute(QByteArrayView lowercaseName) const;
};

// Reads a tag from its name, which starts at p with an ASCII letter, to its >, as the
// tokenizer's states from the tag name to the end of the tag do. Leaves tag.after null where the
// page ends inside the tag, which is then no tag at all. Calls valueWithLineEnd for each quoted
// value that holds a CR or LF, with its bytes between the quotes.
template <typename ValueWithLineEnd>
void readTag(const char *p, const char *end, Tag &tag, ValueWithLineEnd &&valueWithLineEnd);

// --- The reading itself, kept here so that each caller's loop is compiled with it.

namespace html_bytes {

// What a byte is to the tag's reading, so that each step of its loops tests one table entry.
enum ByteClass : std::uint8_t {
    kTagSpace = 1,           // tab, LF, FF, CR and space
    kEndsName = 2,           // white space, / and >
    kEndsUnquotedValue = 4,  // white space and >
};

inline constexpr auto kByteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (const unsigned char c : {'\t', '\n', '\f', '\r', ' '})
        classes[c] = kTagSpace | kEndsName | kEndsUnquotedValue;
    classes['/'] = kEndsName;
    classes['>'] = kEndsName | kEndsUnquotedValue;
    return classes;
}();

inline bool is(char c, unsigned classes) {
    return kByteClasses[static_cast<unsigned char>(c)] & classes;
}

inline bool isTagSpace(char c) {
    return is(c, kTagSpace);
}

inline bool isAsciiLetter(char c) {
    return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}

// The bytes that end a tag's name or an attribute's name: white space, / and >.
inline bool endsName(char c) {
    return is(c, kEndsName);
}

}  // namespace html_bytes

template <typename ValueWithLineEnd>
void readTag(const char *p, const char *end, Tag &tag, ValueWithLineEnd &&valueWithLineEnd) {
    using namespace html_bytes;
    tag.attributes.clear();
    tag.selfClosing = false;
    tag.after = nullptr;
    const char *const name = p;
    while (p < end && !endsName(*p)) ++p;
    tag.name = QByteArrayView(name, p);
    tag.id = tagIdOf(tag.name);
    while (true) {
        // Before an attribute's name a / only counts where a > follows it right away.
        bool slash = false;
        while (p < end && (isTagSpace(*p) || *p == '/')) slash = *p++ == '/';
        if (p == end) return;
        if (*p == '>') {
            tag.selfClosing = slash;
            tag.after = p + 1;
            return;
        }
        // An attribute name takes a = in its first place as a character of its own.
        const char *const attributeName = p;
        ++p;
        while (p < end && !endsName(*p) && *p != '=') ++p;
        Attribute attribute;
        attribute.name = QByteArrayView(attributeName, p);
        while (p < end && isTagSpace(*p)) ++p;
        if (p < end && *p == '=') {
            ++p;
            while (p < end && isTagSpace(*p)) ++p;
            if (p == end) return;
            if (*p == '"' || *p == '\'') {
                // Most values are a few bytes long: looked at a byte at a time, in one pass.
                const char quote = *p++;
                const char *const value = p;
                bool lineEnd = false;
                for (; p < end && *p != quote; ++p) lineEnd |= *p == '\n' || *p == '\r';
                if (p == end) return;
                attribute.value = QByteArrayView(value, p);
                attribute.quoted = true;
                if (lineEnd) valueWithLineEnd(attribute.value);
                ++p;
            } else if (*p != '>') {
                const char *const value = p;
                while (p < end && !is(*p, kEndsUnquotedValue)) ++p;
                attribute.value = QByteArrayView(value, p);
            }
        }
        const bool repeated = std::any_of(
            tag.attributes.begin(), tag.attributes.end(),
            [&](const Attribute &known) { return sameTagName(known.name, attribute.name); });
        if (!repeated) tag.attributes.push_back(attribute);
    }
}
