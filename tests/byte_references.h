#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <optional>
#include <vector>

// Plain statements of the byte rules, one byte at a time, written for clarity and nothing else:
// the fast code is checked against them on table rows, generated pages and fuzzed input.

namespace reference_detail {

inline bool isHtmlSpace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

inline bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The words of text between HTML white space.
inline QByteArrayList words(const QByteArray &text) {
    QByteArrayList found;
    QByteArray word;
    for (const char c : text + ' ') {
        if (!isHtmlSpace(c)) {
            word += c;
        } else if (!word.isEmpty()) {
            found += word;
            word.clear();
        }
    }
    return found;
}

// Whether a style attribute sets white-space (or white-space-collapse) to a value that keeps
// spaces, in any of its declarations.
inline bool styleKeepsSpaces(const QByteArray &style) {
    QByteArray css;  // without comments
    for (qsizetype i = 0; i < style.size(); ++i) {
        if (style.mid(i, 2) == "/*") {
            i = style.indexOf("*/", i + 2);
            if (i < 0) break;
            css += ' ';
            ++i;
        } else {
            css += style[i];
        }
    }
    for (const QByteArray &declaration : css.split(';')) {
        const qsizetype colon = declaration.indexOf(':');
        if (colon < 0) continue;
        const QByteArrayList property = words(declaration.left(colon).toLower());
        if (property != QByteArrayList{"white-space"} &&
            property != QByteArrayList{"white-space-collapse"})
            continue;
        QByteArray value = declaration.mid(colon + 1).toLower();
        if (value.contains('!')) value.truncate(value.indexOf('!'));
        for (const QByteArray &word : words(value)) {
            if (QByteArrayList{"pre", "pre-wrap", "break-spaces", "preserve", "preserve-spaces"}
                    .contains(word))
                return true;
        }
    }
    return false;
}

inline bool preservesSpaces(const QByteArray &name, const std::optional<QByteArray> &style) {
    static const QByteArrayList byName{"pre", "textarea", "listing", "xmp", "plaintext"};
    static const QByteArrayList voidElements{
        "area", "base",  "basefont", "bgsound", "br",   "col",   "embed",  "frame", "hr", "image",
        "img",  "input", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};
    // A custom element's script may read its text as written.
    if (byName.contains(name) || name.contains('-')) return true;
    return style && !voidElements.contains(name) && styleKeepsSpaces(*style);
}

}  // namespace reference_detail

// For each byte of page, whether it lies in the content of an element that preserves white
// space, or of a custom element (core/trim/preserved_content.h). The page goes through the states
// of HTML's tokenizer one byte at a time, with what its tree builder does to them: a start tag of
// one of these elements, outside any such content, opens it; a start tag of the same name inside
// counts one deeper; an end tag of that name counts one back, and the content ends at the < of the
// one that closes it. A quoted attribute value that holds a line end is preserved between its
// quotes. A tag that the page ends inside is no tag. The less-than-sign states of comments, which
// only report errors, are left out. (What a browser does beyond this, with style sheets, scripts,
// SVG and the tree builder's own rules, the trim's tests give row by row.)
inline std::vector<bool> referencePreserved(const QByteArray &page) {
    using namespace reference_detail;
    enum class State {
        Data,
        TagOpen,
        EndTagOpen,
        TagName,
        BeforeAttributeName,
        AttributeName,
        AfterAttributeName,
        BeforeAttributeValue,
        DoubleQuotedValue,
        SingleQuotedValue,
        UnquotedValue,
        AfterQuotedValue,
        SelfClosingStartTag,
        BogusComment,
        CommentStart,
        CommentStartDash,
        Comment,
        CommentEndDash,
        CommentEnd,
        CommentEndBang,
        RawText,
        PlainText,
    };
    static const QByteArrayList rawTextElements{"script", "style",  "textarea", "title",
                                                "xmp",    "iframe", "noembed",  "noframes"};
    std::vector<bool> preserved(page.size(), false);
    State state = State::Data;
    // The tag being read.
    bool endTag = false;
    qsizetype tagStart = 0;
    QByteArray name;
    QByteArray attribute;
    QByteArray value;
    qsizetype valueStart = 0;
    std::optional<QByteArray> style;
    // The text that ends only at its own end tag, and the element whose content is preserved.
    QByteArray rawTextOf;
    QByteArray open;
    int depth = 0;
    qsizetype content = 0;

    const auto endAttribute = [&] {
        if (!attribute.isEmpty() && attribute == "style" && !style) style = value;
        attribute.clear();
        value.clear();
    };
    const auto emitTag = [&](qsizetype i) {
        endAttribute();
        state = State::Data;
        if (endTag) {
            if (depth > 0 && name == open && --depth == 0) {
                for (qsizetype k = content; k < tagStart; ++k) preserved[k] = true;
            }
            return;
        }
        if (depth > 0) {
            if (name == open) ++depth;
        } else if (preservesSpaces(name, style)) {
            open = name;
            depth = 1;
            content = i + 1;
        }
        if (name == "plaintext") state = State::PlainText;
        if (rawTextElements.contains(name)) {
            state = State::RawText;
            rawTextOf = name;
        }
    };
    const auto startTag = [&](qsizetype i, bool isEnd) {
        endTag = isEnd;
        tagStart = i;
        name.clear();
        attribute.clear();
        value.clear();
        style.reset();
    };

    for (qsizetype i = 0; i < page.size(); ++i) {
        const char c = page[i];
        const char lower = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        switch (state) {
            case State::Data:
                if (c == '<') {
                    startTag(i, false);
                    state = State::TagOpen;
                }
                break;
            case State::TagOpen:
                if (c == '!' && page.mid(i + 1, 2) == "--") {
                    state = State::CommentStart;
                    i += 2;
                } else if (c == '!' || c == '?') {
                    state = State::BogusComment;
                } else if (c == '/') {
                    state = State::EndTagOpen;
                } else if (isLetter(c)) {
                    state = State::TagName;
                    --i;
                } else {
                    state = State::Data;
                    --i;
                }
                break;
            case State::EndTagOpen:
                if (isLetter(c)) {
                    endTag = true;
                    state = State::TagName;
                    --i;
                } else {
                    state = c == '>' ? State::Data : State::BogusComment;
                }
                break;
            case State::TagName:
                if (isHtmlSpace(c))
                    state = State::BeforeAttributeName;
                else if (c == '/')
                    state = State::SelfClosingStartTag;
                else if (c == '>')
                    emitTag(i);
                else
                    name += lower;
                break;
            case State::BeforeAttributeName:
                if (isHtmlSpace(c)) break;
                if (c == '/' || c == '>') {
                    state = State::AfterAttributeName;
                    --i;
                } else {
                    endAttribute();
                    attribute = QByteArray(1, lower);
                    state = State::AttributeName;
                }
                break;
            case State::AttributeName:
                if (isHtmlSpace(c) || c == '/' || c == '>') {
                    state = State::AfterAttributeName;
                    --i;
                } else if (c == '=') {
                    state = State::BeforeAttributeValue;
                } else {
                    attribute += lower;
                }
                break;
            case State::AfterAttributeName:
                if (isHtmlSpace(c)) break;
                if (c == '/')
                    state = State::SelfClosingStartTag;
                else if (c == '=')
                    state = State::BeforeAttributeValue;
                else if (c == '>')
                    emitTag(i);
                else {
                    endAttribute();
                    attribute = QByteArray(1, lower);
                    state = State::AttributeName;
                }
                break;
            case State::BeforeAttributeValue:
                if (isHtmlSpace(c)) break;
                valueStart = i + 1;
                if (c == '"')
                    state = State::DoubleQuotedValue;
                else if (c == '\'')
                    state = State::SingleQuotedValue;
                else if (c == '>')
                    emitTag(i);
                else {
                    state = State::UnquotedValue;
                    --i;
                }
                break;
            case State::DoubleQuotedValue:
            case State::SingleQuotedValue:
                if (c == (state == State::DoubleQuotedValue ? '"' : '\'')) {
                    state = State::AfterQuotedValue;
                    if (value.contains('\n') || value.contains('\r')) {
                        for (qsizetype k = valueStart; k < i; ++k) preserved[k] = true;
                    }
                } else {
                    value += c;
                }
                break;
            case State::UnquotedValue:
                if (isHtmlSpace(c))
                    state = State::BeforeAttributeName;
                else if (c == '>')
                    emitTag(i);
                else
                    value += c;
                break;
            case State::AfterQuotedValue:
                if (isHtmlSpace(c))
                    state = State::BeforeAttributeName;
                else if (c == '/')
                    state = State::SelfClosingStartTag;
                else if (c == '>')
                    emitTag(i);
                else {
                    state = State::BeforeAttributeName;
                    --i;
                }
                break;
            case State::SelfClosingStartTag:
                if (c == '>')
                    emitTag(i);
                else {
                    state = State::BeforeAttributeName;
                    --i;
                }
                break;
            case State::BogusComment:
                if (c == '>') state = State::Data;
                break;
            case State::CommentStart:
                if (c == '-')
                    state = State::CommentStartDash;
                else if (c == '>')
                    state = State::Data;
                else {
                    state = State::Comment;
                    --i;
                }
                break;
            case State::CommentStartDash:
                if (c == '-')
                    state = State::CommentEnd;
                else if (c == '>')
                    state = State::Data;
                else {
                    state = State::Comment;
                    --i;
                }
                break;
            case State::Comment:
                if (c == '-') state = State::CommentEndDash;
                break;
            case State::CommentEndDash:
                if (c == '-')
                    state = State::CommentEnd;
                else {
                    state = State::Comment;
                    --i;
                }
                break;
            case State::CommentEnd:
                if (c == '>')
                    state = State::Data;
                else if (c == '!')
                    state = State::CommentEndBang;
                else if (c != '-') {
                    state = State::Comment;
                    --i;
                }
                break;
            case State::CommentEndBang:
                if (c == '-')
                    state = State::CommentEndDash;
                else if (c == '>')
                    state = State::Data;
                else {
                    state = State::Comment;
                    --i;
                }
                break;
            case State::RawText: {
                // Its end tag: </, its name in any case, and then white space, / or >.
                const QByteArray closing = "</" + rawTextOf;
                const char after = i + closing.size() < page.size() ? page[i + closing.size()] : 0;
                if (page.mid(i, closing.size()).toLower() == closing &&
                    (isHtmlSpace(after) || after == '/' || after == '>')) {
                    startTag(i, true);
                    name = rawTextOf;
                    state = State::TagName;
                    i += closing.size() - 1;
                }
                break;
            }
            case State::PlainText:
                break;
        }
    }
    if (depth > 0) {
        for (qsizetype k = content; k < page.size(); ++k) preserved[k] = true;
    }
    return preserved;
}

// The line trim of core/trim/line_trim.h, with the bytes whose spaces stay given. A line ends at
// CR LF, CR or LF; it loses the spaces at both of its ends that are not preserved, and keeps its
// line end, a lone CR becoming CR LF. A last line without one gets LF where the page has a LF but
// no CR, CR LF otherwise, unless its last byte is preserved. A byte-order mark at the start, or
// behind the spaces the page starts with, stays; the first line starts behind it.
//
// With keptLineEnds given, the deep trim: tabs go as spaces do, and a line left empty goes with
// its line end unless that line end is preserved or in keptLineEnds; a byte-order mark behind the
// blanks and line ends the page starts with stays, at the start.
inline QByteArray referenceTrimKeeping(const QByteArray &in, const std::vector<bool> &preserved,
                                       const std::vector<bool> *keptLineEnds = nullptr) {
    const bool deep = keptLineEnds != nullptr;
    const auto isBlank = [deep](char c) { return c == ' ' || (deep && c == '\t'); };
    const bool lfPage = in.contains('\n') && !in.contains('\r');
    QByteArray out;
    qsizetype i = 0;
    while (i < in.size() && (isBlank(in[i]) || (deep && (in[i] == '\r' || in[i] == '\n')))) ++i;
    if (in.mid(i, 3) == "\xEF\xBB\xBF") {
        out += in.mid(i, 3);
        i += 3;
    } else {
        i = 0;
    }
    while (i < in.size()) {
        qsizetype lineEnd = i;
        while (lineEnd < in.size() && in[lineEnd] != '\r' && in[lineEnd] != '\n') ++lineEnd;
        qsizetype first = i;
        qsizetype last = lineEnd;
        while (first < last && isBlank(in[first]) && !preserved[first]) ++first;
        while (last > first && isBlank(in[last - 1]) && !preserved[last - 1]) --last;
        const bool empty = first == last;
        if (lineEnd == in.size()) {
            if (deep && empty) break;
            out += in.mid(first, last - first);
            if (!preserved[in.size() - 1]) out += lfPage ? "\n" : "\r\n";
            break;
        }
        const bool dropped = deep && empty && !preserved[lineEnd] && !(*keptLineEnds)[lineEnd];
        if (!dropped) out += in.mid(first, last - first) + (in[lineEnd] == '\n' ? "\n" : "\r\n");
        i = lineEnd + (in.mid(lineEnd, 2) == "\r\n" ? 2 : 1);
    }
    return out;
}

// The trim with what referencePreserved preserves.
inline QByteArray referenceTrim(const QByteArray &in) {
    return referenceTrimKeeping(in, referencePreserved(in));
}

// The deep trim with what referencePreserved preserves, which keeps line ends as it keeps spaces.
inline QByteArray referenceDeepTrim(const QByteArray &in) {
    const std::vector<bool> preserved = referencePreserved(in);
    return referenceTrimKeeping(in, preserved, &preserved);
}

// For each byte of a page, whether one of the stretches ranges lies over it.
template <typename Ranges>
std::vector<bool> bytesIn(qsizetype size, const Ranges &ranges) {
    std::vector<bool> inside(size, false);
    for (const auto &range : ranges) {
        for (qsizetype k = range.begin; k < range.end && k < size; ++k) inside[k] = true;
    }
    return inside;
}

// What breaks the rule of ByteRange (core/html/byte_range.h) in the stretches a page's trim
// keeps, or an empty text: they lie in page order within the page, none overlapping or empty,
// each right behind a byte that is no space or tab, or at the start, and up to a byte that is
// neither a space, a tab nor a line end, or the end.
template <typename Ranges>
QByteArray rangeFault(const QByteArray &page, const Ranges &ranges) {
    qsizetype last = -1;
    for (const auto &range : ranges) {
        const QByteArray where =
            " at " + QByteArray::number(range.begin) + ".." + QByteArray::number(range.end);
        if (range.begin <= last || range.end <= range.begin || range.end > page.size())
            return "out of order, empty or outside the page" + where;
        if (range.begin > 0 && (page[range.begin - 1] == ' ' || page[range.begin - 1] == '\t'))
            return "starts behind a space or tab" + where;
        if (range.end < page.size()) {
            const char at = page[range.end];
            if (at == ' ' || at == '\t' || at == '\r' || at == '\n')
                return "ends at a space, tab or line end" + where;
        }
        last = range.end;
    }
    return {};
}

// Whether bytes are well-formed UTF-8, by decoding each character and checking its value: not
// longer than needed, no surrogate, nothing above U+10FFFF, nothing cut off at the end.
inline bool referenceIsValidUtf8(QByteArrayView bytes) {
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int length = 0;
        char32_t value = 0;
        if (lead < 0x80) {
            length = 1;
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            value = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            value = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            value = lead & 0x07;
        } else {
            return false;  // a continuation byte without a lead, or a byte UTF-8 never uses
        }
        if (bytes.size() - i < length) return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3F);
        }
        constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < kShortest[length]) return false;
        if (value >= 0xD800 && value <= 0xDFFF) return false;
        if (value > 0x10FFFF) return false;
        i += length;
    }
    return true;
}
