#include "core/trim/css_reader.h"

#include <QString>
#include <algorithm>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string_view>

#include "core/trim/character_references.h"

namespace {

// --- The tokenizer of CSS Syntax, for UTF-8 text.

struct Token {
    enum class Type : std::uint8_t {
        Ident,
        Function,  // its name; the ( is part of it
        AtKeyword,
        Hash,
        String,
        Url,
        Number,
        Delim,
        Whitespace,
        Colon,
        Semicolon,
        Comma,
        OpenSquare,
        CloseSquare,
        OpenParen,
        CloseParen,
        OpenCurly,
        CloseCurly,
        Other,  // <!--, -->, a bad string or URL
    };
    Type type = Type::Other;
    QByteArray value;  // names in lower case, escapes read; a string's or URL's text as written
    char delim = 0;
};
using Type = Token::Type;

bool isCssSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

bool isNameStart(char c) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-';
}

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

void appendCodePoint(QByteArray &out, char32_t code) {
    const QString text = QString::fromUcs4(&code, 1);
    out += text.toUtf8();
}

class Tokenizer {
public:
    explicit Tokenizer(QByteArrayView text) : p_(text.data()), end_(text.data() + text.size()) {}

    std::vector<Token> all() {
        std::vector<Token> tokens;
        while (p_ < end_) {
            Token token = next();
            tokens.push_back(std::move(token));
        }
        return tokens;
    }

private:
    bool startsEscape(const char *p) const {
        return p < end_ && *p == '\\' &&
               (p + 1 == end_ || (p[1] != '\n' && p[1] != '\r' && p[1] != '\f'));
    }
    bool startsIdent(const char *p) const {
        if (p >= end_) return false;
        if (*p == '-') {
            return p + 1 < end_ && (isNameStart(p[1]) || p[1] == '-' || startsEscape(p + 1));
        }
        return isNameStart(*p) || startsEscape(p);
    }
    bool startsNumber(const char *p) const {
        if (p >= end_) return false;
        const auto digit = [&](const char *q) { return q < end_ && *q >= '0' && *q <= '9'; };
        if (*p == '+' || *p == '-') ++p;
        if (digit(p)) return true;
        return p < end_ && *p == '.' && digit(p + 1);
    }

    // Reads the escape behind a \ at p_ into out, ASCII letters in lower case where fold says.
    void escape(QByteArray &out, bool fold) {
        ++p_;
        if (p_ == end_) {
            appendCodePoint(out, 0xFFFD);
            return;
        }
        if (isHexDigit(*p_)) {
            char32_t code = 0;
            for (int i = 0; i < 6 && p_ < end_ && isHexDigit(*p_); ++i, ++p_) {
                const char c = lowered(*p_);
                code = code * 16 + char32_t(c <= '9' ? c - '0' : c - 'a' + 10);
            }
            if (p_ < end_ && isCssSpace(*p_)) {
                if (*p_ == '\r' && p_ + 1 < end_ && p_[1] == '\n') ++p_;
                ++p_;
            }
            if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
            if (code < 0x80)
                out += fold ? lowered(char(code)) : char(code);
            else
                appendCodePoint(out, code);
            return;
        }
        out += fold ? lowered(*p_) : *p_;
        ++p_;
    }

    QByteArray name() {
        QByteArray out;
        while (p_ < end_) {
            if (isNameChar(*p_)) {
                out += lowered(*p_++);
            } else if (startsEscape(p_)) {
                escape(out, true);
            } else {
                break;
            }
        }
        return out;
    }

    Token string(char quote) {
        Token token;
        token.type = Type::String;
        ++p_;
        while (p_ < end_) {
            const char c = *p_;
            if (c == quote) {
                ++p_;
                return token;
            }
            if (c == '\n' || c == '\r' || c == '\f') {
                token.type = Type::Other;  // a bad string
                return token;
            }
            if (c == '\\') {
                if (p_ + 1 < end_ && (p_[1] == '\n' || p_[1] == '\r' || p_[1] == '\f')) {
                    p_ += (p_[1] == '\r' && p_ + 2 < end_ && p_[2] == '\n') ? 3 : 2;
                    continue;
                }
                escape(token.value, false);
                continue;
            }
            token.value += c;
            ++p_;
        }
        return token;
    }

    Token url() {
        Token token;
        token.type = Type::Url;
        while (p_ < end_ && isCssSpace(*p_)) ++p_;
        while (p_ < end_ && *p_ != ')') {
            if (isCssSpace(*p_)) {
                while (p_ < end_ && isCssSpace(*p_)) ++p_;
                if (p_ < end_ && *p_ != ')') token.type = Type::Other;
                continue;
            }
            if (startsEscape(p_)) {
                escape(token.value, false);
                continue;
            }
            token.value += *p_++;
        }
        if (p_ < end_) ++p_;
        return token;
    }

    Token next() {
        Token token;
        const char c = *p_;
        if (c == '/' && p_ + 1 < end_ && p_[1] == '*') {
            const char *close = nullptr;
            for (const char *q = p_ + 2; q + 1 < end_; ++q) {
                if (q[0] == '*' && q[1] == '/') {
                    close = q + 2;
                    break;
                }
            }
            // A comment separates tokens without being white space.
            p_ = close ? close : end_;
            token.type = Type::Other;
            token.value = QByteArrayLiteral("/**/");
            return token;
        }
        if (isCssSpace(c)) {
            while (p_ < end_ && isCssSpace(*p_)) ++p_;
            token.type = Type::Whitespace;
            return token;
        }
        if (c == '"' || c == '\'') return string(c);
        if (startsNumber(p_)) {
            ++p_;
            while (p_ < end_ && ((*p_ >= '0' && *p_ <= '9') || *p_ == '.')) ++p_;
            if (startsIdent(p_))
                name();
            else if (p_ < end_ && *p_ == '%')
                ++p_;
            token.type = Type::Number;
            return token;
        }
        if (startsIdent(p_)) {
            token.value = name();
            if (p_ < end_ && *p_ == '(') {
                ++p_;
                if (token.value == "url") {
                    const char *q = p_;
                    while (q < end_ && isCssSpace(*q)) ++q;
                    if (q == end_ || (*q != '"' && *q != '\'')) return url();
                }
                token.type = Type::Function;
                return token;
            }
            token.type = Type::Ident;
            return token;
        }
        if (c == '#' && p_ + 1 < end_ && (isNameChar(p_[1]) || startsEscape(p_ + 1))) {
            ++p_;
            token.type = Type::Hash;
            token.value = name();
            return token;
        }
        if (c == '@' && startsIdent(p_ + 1)) {
            ++p_;
            token.type = Type::AtKeyword;
            token.value = name();
            return token;
        }
        if (c == '<' && end_ - p_ >= 4 && QByteArrayView(p_, 4) == "<!--") {
            p_ += 4;
            return token;
        }
        if (c == '-' && end_ - p_ >= 3 && QByteArrayView(p_, 3) == "-->") {
            p_ += 3;
            return token;
        }
        ++p_;
        switch (c) {
            case ':':
                token.type = Type::Colon;
                break;
            case ';':
                token.type = Type::Semicolon;
                break;
            case ',':
                token.type = Type::Comma;
                break;
            case '[':
                token.type = Type::OpenSquare;
                break;
            case ']':
                token.type = Type::CloseSquare;
                break;
            case '(':
                token.type = Type::OpenParen;
                break;
            case ')':
                token.type = Type::CloseParen;
                break;
            case '{':
                token.type = Type::OpenCurly;
                break;
            case '}':
                token.type = Type::CloseCurly;
                break;
            default:
                token.type = Type::Delim;
                token.delim = c;
                break;
        }
        return token;
    }

    const char *p_;
    const char *const end_;
};

bool opens(Type type) {
    return type == Type::Function || type == Type::OpenParen || type == Type::OpenSquare ||
           type == Type::OpenCurly;
}

bool closes(Type type) {
    return type == Type::CloseParen || type == Type::CloseSquare || type == Type::CloseCurly;
}

// The index behind the block that opens at tokens[open], or the end.
qsizetype afterBlock(const std::vector<Token> &tokens, qsizetype open, qsizetype end) {
    int depth = 0;
    for (qsizetype i = open; i < end; ++i) {
        if (opens(tokens[i].type))
            ++depth;
        else if (closes(tokens[i].type) && --depth == 0)
            return i + 1;
    }
    return end;
}

// A name without a browser's prefix: -moz-pre-wrap is pre-wrap, -pre-wrap too.
QByteArrayView withoutVendorPrefix(QByteArrayView name) {
    if (name.size() < 2 || name[0] != '-' || name[1] == '-') return name;
    const qsizetype dash = name.indexOf('-', 1);
    return dash < 0 ? name : name.sliced(dash + 1);
}

bool isOneOf(QByteArrayView name, std::initializer_list<std::string_view> names) {
    return std::any_of(names.begin(), names.end(), [name](std::string_view known) {
        return name == QByteArrayView(known.data(), qsizetype(known.size()));
    });
}

// Whether the declaration from begin to end (a property, a colon, a value) keeps spaces.
bool declarationKeepsSpaces(const std::vector<Token> &tokens, qsizetype begin, qsizetype end) {
    while (begin < end && tokens[begin].type == Type::Whitespace) ++begin;
    if (begin == end || tokens[begin].type != Type::Ident) return false;
    const QByteArrayView property = withoutVendorPrefix(tokens[begin].value);
    if (!isOneOf(property, {"white-space", "white-space-collapse"})) return false;
    qsizetype i = begin + 1;
    while (i < end && tokens[i].type == Type::Whitespace) ++i;
    if (i == end || tokens[i].type != Type::Colon) return false;
    for (++i; i < end; ++i) {
        const Token &token = tokens[i];
        if (token.type == Type::Ident &&
            isOneOf(withoutVendorPrefix(token.value), {"pre", "pre-wrap", "break-spaces",
                                                       "preserve", "preserve-spaces", "pre-space"}))
            return true;
        if (token.type == Type::Function && isOneOf(token.value, {"var", "env", "attr"}))
            return true;
    }
    return false;
}

// CSS text in UTF-8, from a sheet in its encoding: a UTF-16 sheet, which a byte-order mark
// announces, is converted here, any other through the system's converter.
QByteArray cssText(QByteArrayView sheet, const FileEncoding &encoding) {
    const auto startsWith = [&](const char *mark) {
        return sheet.startsWith(QByteArrayView(mark, 2));
    };
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        const bool littleEndian = startsWith("\xFF\xFE");
        QString text;
        for (qsizetype i = 2; i + 1 < sheet.size(); i += 2) {
            const auto low = static_cast<unsigned char>(sheet[i + (littleEndian ? 0 : 1)]);
            const auto high = static_cast<unsigned char>(sheet[i + (littleEndian ? 1 : 0)]);
            text += QChar(char16_t(high << 8 | low));
        }
        return text.toUtf8();
    }
    if (sheet.startsWith("\xEF\xBB\xBF")) return sheet.sliced(3).toByteArray();
    return utf8Text(sheet, encoding);
}

// Reads a sheet's rules into the selectors that keep spaces.
class RuleReader {
public:
    using Compound = KeepingSelectors::Compound;
    using Alternatives = std::vector<Compound>;

    RuleReader(const std::vector<Token> &tokens, std::vector<Compound> &found, bool &wholePage)
        : tokens_(tokens), found_(found), wholePage_(wholePage) {}

    void read() { readBlock(0, qsizetype(tokens_.size()), nullptr); }

private:
    // The most alternatives a selector is cut into; one with more keeps the whole page.
    static constexpr std::size_t kMostAlternatives = 64;

    // Reads the declarations and rules from begin to end, nested in a rule with the selectors
    // parent (none at the top); answers whether a declaration there keeps spaces.
    bool readBlock(qsizetype begin, qsizetype end, const Alternatives *parent) {
        bool keeps = false;
        for (qsizetype i = begin; i < end;) {
            const Type type = tokens_[i].type;
            if (type == Type::Whitespace || type == Type::Semicolon || type == Type::Other ||
                closes(type)) {
                ++i;
                continue;
            }
            // Up to the ; or the block that ends this item.
            qsizetype stop = i;
            while (stop < end && tokens_[stop].type != Type::Semicolon &&
                   tokens_[stop].type != Type::OpenCurly) {
                stop = opens(tokens_[stop].type) ? afterBlock(tokens_, stop, end) : stop + 1;
            }
            const bool hasBlock = stop < end && tokens_[stop].type == Type::OpenCurly;
            const qsizetype after =
                hasBlock ? afterBlock(tokens_, stop, end) : std::min(stop + 1, end);
            const qsizetype blockEnd = hasBlock ? after - 1 : after;
            if (type == Type::AtKeyword) {
                if (hasBlock && isOneOf(tokens_[i].value,
                                        {"media", "supports", "layer", "container", "document",
                                         "-moz-document", "scope", "starting-style"}))
                    keeps |= readBlock(stop + 1, blockEnd, parent);
            } else if (hasBlock) {
                const Alternatives selectors = selectorList(i, stop, parent);
                if (readBlock(stop + 1, blockEnd, &selectors)) {
                    found_.insert(found_.end(), selectors.begin(), selectors.end());
                    if (selectors.empty()) wholePage_ = true;
                }
            } else if (parent && declarationKeepsSpaces(tokens_, i, stop)) {
                keeps = true;
            }
            i = after;
        }
        return keeps;
    }

    // The alternatives of a selector list: the last compound of each of its selectors.
    Alternatives selectorList(qsizetype begin, qsizetype end, const Alternatives *parent) {
        Alternatives all;
        qsizetype start = begin;
        for (qsizetype i = begin; i <= end; ++i) {
            if (i < end && opens(tokens_[i].type)) {
                i = afterBlock(tokens_, i, end) - 1;
                continue;
            }
            if (i == end || tokens_[i].type == Type::Comma) {
                Alternatives one = lastCompound(start, i, parent);
                if (one.empty()) return {};  // asks nothing: the whole page
                all.insert(all.end(), one.begin(), one.end());
                if (all.size() > kMostAlternatives) return {};
                start = i + 1;
            }
        }
        return all;
    }

    // The alternatives that the last compound of the selector from begin to end asks for; none
    // where it asks nothing of an element, or asks for the page's root.
    Alternatives lastCompound(qsizetype begin, qsizetype end, const Alternatives *parent) {
        while (end > begin && tokens_[end - 1].type == Type::Whitespace) --end;
        qsizetype start = begin;
        for (qsizetype i = begin; i < end; ++i) {
            const Token &token = tokens_[i];
            if (opens(token.type)) {
                i = afterBlock(tokens_, i, end) - 1;
                continue;
            }
            const bool combinator =
                token.type == Type::Whitespace ||
                (token.type == Type::Delim &&
                 (token.delim == '>' || token.delim == '+' || token.delim == '~' ||
                  (token.delim == '|' && i + 1 < end && tokens_[i + 1].type == Type::Delim &&
                   tokens_[i + 1].delim == '|')));
            if (combinator) start = token.delim == '|' ? i + 2 : i + 1;
        }
        Alternatives alternatives{Compound{}};
        bool root = false;
        for (qsizetype i = start; i < end;) i = simpleSelector(i, end, parent, alternatives, root);
        if (root || alternatives.size() > kMostAlternatives) return {};
        Alternatives kept;
        for (Compound &compound : alternatives) {
            const bool asksNothing = compound.type.isEmpty() && compound.ids.empty() &&
                                     compound.classes.empty() && compound.attributes.empty();
            if (asksNothing || compound.type == "html" || compound.type == "body") return {};
            kept.push_back(std::move(compound));
        }
        return kept;
    }

    // Every alternative also asks for what each of more asks for.
    static void combine(Alternatives &alternatives, const Alternatives &more) {
        Alternatives combined;
        for (const Compound &one : alternatives) {
            for (const Compound &other : more) {
                Compound both = one;
                if (both.type.isEmpty()) both.type = other.type;
                both.ids.insert(both.ids.end(), other.ids.begin(), other.ids.end());
                both.classes.insert(both.classes.end(), other.classes.begin(), other.classes.end());
                both.attributes.insert(both.attributes.end(), other.attributes.begin(),
                                       other.attributes.end());
                combined.push_back(std::move(both));
                if (combined.size() > kMostAlternatives) break;
            }
        }
        alternatives = std::move(combined);
    }

    static void addToAll(Alternatives &alternatives, auto add) {
        for (Compound &compound : alternatives) add(compound);
    }

    // Reads the simple selector at i; answers where the next one starts.
    qsizetype simpleSelector(qsizetype i, qsizetype end, const Alternatives *parent,
                             Alternatives &alternatives, bool &root) {
        const Token &token = tokens_[i];
        const auto isDelim = [&](qsizetype at, char c) {
            return at < end && tokens_[at].type == Type::Delim && tokens_[at].delim == c;
        };
        switch (token.type) {
            case Type::Ident:
            case Type::Delim:
                if (token.type == Type::Delim && token.delim == '.') {
                    if (i + 1 < end && tokens_[i + 1].type == Type::Ident) {
                        const QByteArray name = tokens_[i + 1].value;
                        addToAll(alternatives, [&](Compound &c) { c.classes.push_back(name); });
                        return i + 2;
                    }
                    return i + 1;
                }
                if (token.type == Type::Delim && token.delim == '&') {
                    if (!parent)
                        root = true;
                    else
                        combine(alternatives, *parent);
                    return i + 1;
                }
                if (token.type == Type::Ident ||
                    (token.type == Type::Delim && token.delim == '*')) {
                    // A namespace prefix: ns|type, *|type.
                    if (isDelim(i + 1, '|') && !isDelim(i + 2, '|')) return i + 1;
                    if (token.type == Type::Ident) {
                        const QByteArray type = token.value;
                        addToAll(alternatives, [&](Compound &c) { c.type = type; });
                    }
                }
                return i + 1;
            case Type::Hash: {
                const QByteArray id = token.value;
                addToAll(alternatives, [&](Compound &c) { c.ids.push_back(id); });
                return i + 1;
            }
            case Type::OpenSquare: {
                const qsizetype close = afterBlock(tokens_, i, end);
                KeepingSelectors::AttributeTest test;
                if (attributeTest(i + 1, close - 1, test))
                    addToAll(alternatives, [&](Compound &c) { c.attributes.push_back(test); });
                return close;
            }
            case Type::Colon: {
                qsizetype at = i + 1;
                const bool element = at < end && tokens_[at].type == Type::Colon;
                if (element) ++at;
                if (at >= end) return at;
                const Token &pseudo = tokens_[at];
                if (pseudo.type == Type::Ident) {
                    if (!element && isOneOf(pseudo.value, {"root", "scope", "host"})) root = true;
                    return at + 1;
                }
                if (pseudo.type != Type::Function) return at;
                const qsizetype close = afterBlock(tokens_, at, end);
                if (isOneOf(pseudo.value, {"is", "where", "matches", "-webkit-any", "-moz-any",
                                           "host", "host-context", "slotted"})) {
                    const Alternatives inside = selectorList(at + 1, close - 1, parent);
                    if (inside.empty())
                        root = true;
                    else
                        combine(alternatives, inside);
                } else if (pseudo.value == "part") {
                    KeepingSelectors::AttributeTest test;
                    test.name = "part";
                    addToAll(alternatives, [&](Compound &c) { c.attributes.push_back(test); });
                }
                return close;
            }
            default:
                return opens(token.type) ? afterBlock(tokens_, i, end) : i + 1;
        }
    }

    bool attributeTest(qsizetype i, qsizetype end, KeepingSelectors::AttributeTest &test) {
        const auto skipSpace = [&] {
            while (i < end && tokens_[i].type == Type::Whitespace) ++i;
        };
        skipSpace();
        // A namespace prefix before the name.
        if (i + 1 < end && tokens_[i + 1].type == Type::Delim && tokens_[i + 1].delim == '|' &&
            !(i + 2 < end && tokens_[i + 2].type == Type::Delim && tokens_[i + 2].delim == '='))
            i += 2;
        else if (i < end && tokens_[i].type == Type::Delim && tokens_[i].delim == '|')
            ++i;
        if (i >= end || tokens_[i].type != Type::Ident) return false;
        test.name = tokens_[i++].value;
        skipSpace();
        if (i >= end || tokens_[i].type != Type::Delim) return true;
        char match = tokens_[i].delim;
        if (match != '=') {
            if (i + 1 >= end || tokens_[i + 1].type != Type::Delim || tokens_[i + 1].delim != '=')
                return true;
            ++i;
        }
        ++i;
        skipSpace();
        if (i >= end || (tokens_[i].type != Type::Ident && tokens_[i].type != Type::String))
            return true;
        QByteArray value = tokens_[i].value;
        for (char &c : value) c = lowered(c);
        test.match = match;
        test.value = value;
        return true;
    }

    const std::vector<Token> &tokens_;
    std::vector<Compound> &found_;
    bool &wholePage_;
};

std::vector<Token> tokensOfDeclarations(QByteArrayView text) {
    return Tokenizer(text).all();
}

// The value of an attribute, as selectors compare it.
QByteArray comparedValue(QByteArrayView value, const FileEncoding &encoding) {
    QByteArray text = attributeValueText(value, encoding);
    for (char &c : text) c = lowered(c);
    return text;
}

bool isHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool hasWord(QByteArrayView text, QByteArrayView word) {
    for (qsizetype i = 0; i < text.size();) {
        while (i < text.size() && isHtmlSpace(text[i])) ++i;
        qsizetype j = i;
        while (j < text.size() && !isHtmlSpace(text[j])) ++j;
        if (j > i && text.sliced(i, j - i) == word) return true;
        i = j;
    }
    return false;
}

bool passes(const KeepingSelectors::AttributeTest &test, QByteArrayView value) {
    const QByteArrayView wanted(test.value);
    switch (test.match) {
        case 0:
            return true;
        case '=':
            return value == wanted;
        case '~':
            return hasWord(value, wanted);
        case '|':
            return value == wanted || value.startsWith(test.value + "-");
        case '^':
            return !wanted.isEmpty() && value.startsWith(wanted);
        case '$':
            return !wanted.isEmpty() && value.endsWith(wanted);
        case '*':
            return !wanted.isEmpty() && value.contains(wanted);
        default:
            return false;
    }
}

}  // namespace

bool declarationsKeepSpaces(QByteArrayView utf8Declarations) {
    const std::vector<Token> tokens = tokensOfDeclarations(utf8Declarations);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= qsizetype(tokens.size()); ++i) {
        if (i < qsizetype(tokens.size()) && opens(tokens[i].type)) {
            i = afterBlock(tokens, i, qsizetype(tokens.size())) - 1;
            continue;
        }
        if (i == qsizetype(tokens.size()) || tokens[i].type == Type::Semicolon) {
            if (declarationKeepsSpaces(tokens, start, i)) return true;
            start = i + 1;
        }
    }
    return false;
}

FileEncoding styleSheetEncoding(QByteArrayView sheet, const FileEncoding &environment) {
    if (sheet.startsWith("\xEF\xBB\xBF")) return FileEncoding::Utf8;
    if (sheet.startsWith("\xFF\xFE") || sheet.startsWith("\xFE\xFF")) return FileEncoding::Utf8;
    // Exactly @charset "name"; at the very start, as the standard asks.
    constexpr QByteArrayView kStart("@charset \"");
    if (sheet.startsWith(kStart)) {
        const qsizetype close = sheet.indexOf("\";", kStart.size());
        if (close > 0 && close - kStart.size() <= 40) {
            if (auto named = encodingForLabel(sheet.sliced(kStart.size(), close - kStart.size())))
                return *named;
        }
    }
    return environment;
}

namespace {

QStringList importsOf(const std::vector<Token> &tokens) {
    QStringList urls;
    const qsizetype end = qsizetype(tokens.size());
    for (qsizetype i = 0; i < end;) {
        const Token &token = tokens[i];
        if (opens(token.type)) {
            i = afterBlock(tokens, i, end);
            continue;
        }
        if (token.type == Type::AtKeyword && token.value == "import") {
            for (qsizetype j = i + 1;
                 j < end && tokens[j].type != Type::Semicolon && tokens[j].type != Type::OpenCurly;
                 ++j) {
                const Token &part = tokens[j];
                if (part.type == Type::String || part.type == Type::Url) {
                    urls.append(QString::fromUtf8(part.value));
                    break;
                }
                if (part.type == Type::Function && part.value == "url") {
                    if (j + 1 < end && tokens[j + 1].type == Type::Whitespace) ++j;
                    if (j + 1 < end && tokens[j + 1].type == Type::String)
                        urls.append(QString::fromUtf8(tokens[j + 1].value));
                    break;
                }
                if (part.type != Type::Whitespace) break;
            }
        }
        ++i;
    }
    return urls;
}

// What a style sheet says: the sheets it imports, and the compounds of its rules that keep
// spaces.
struct SheetReading {
    QStringList imports;
    std::vector<KeepingSelectors::Compound> compounds;
    bool wholePage = false;
};

// The sheets read last, each read once however many pages of a site link it: the pages of a
// folder mostly link the same few sheets. Kept by their bytes and encoding, which alone decide
// what a sheet says; shared by the threads of zerediz-compress.
class SheetReadings {
public:
    std::shared_ptr<const SheetReading> of(const QByteArray &sheet, const FileEncoding &encoding) {
        {
            const std::lock_guard lock(mutex_);
            for (const Entry &entry : entries_) {
                if (entry.encoding == encoding && entry.bytes == sheet) return entry.reading;
            }
        }
        auto reading = std::make_shared<SheetReading>();
        const std::vector<Token> tokens = Tokenizer(cssText(sheet, encoding)).all();
        reading->imports = importsOf(tokens);
        RuleReader(tokens, reading->compounds, reading->wholePage).read();
        const std::lock_guard lock(mutex_);
        entries_.push_front({sheet, encoding, reading});
        if (entries_.size() > kKept) entries_.pop_back();
        return reading;
    }

private:
    static constexpr std::size_t kKept = 32;
    struct Entry {
        QByteArray bytes;
        FileEncoding encoding;
        std::shared_ptr<const SheetReading> reading;
    };
    std::mutex mutex_;
    std::deque<Entry> entries_;  // guarded by mutex_, the newest first
};

SheetReadings &sheetReadings() {
    static SheetReadings readings;
    return readings;
}

}  // namespace

QStringList styleSheetImports(const QByteArray &sheet, const FileEncoding &encoding) {
    return sheetReadings().of(sheet, encoding)->imports;
}

void KeepingSelectors::addSheet(const QByteArray &sheet, const FileEncoding &encoding) {
    const std::shared_ptr<const SheetReading> reading = sheetReadings().of(sheet, encoding);
    if (reading->wholePage) wholePage_ = true;
    for (const Compound &compound : reading->compounds) add(compound);
}

void KeepingSelectors::add(Compound compound) {
    // These keep their spaces anyway.
    if (isOneOf(compound.type, {"pre", "textarea", "listing", "xmp", "plaintext"})) return;
    if (compound.type.isEmpty() && compound.ids.empty() && compound.classes.empty() &&
        compound.attributes.empty()) {
        wholePage_ = true;
        return;
    }
    if (!compound.type.isEmpty()) {
        if (std::find(types_.begin(), types_.end(), compound.type) == types_.end())
            types_.push_back(compound.type);
    } else {
        const auto addName = [&](const QByteArray &name) {
            if (std::find(attributeNames_.begin(), attributeNames_.end(), name) ==
                attributeNames_.end())
                attributeNames_.push_back(name);
        };
        if (!compound.ids.empty())
            addName("id");
        else if (!compound.classes.empty())
            addName("class");
        else
            addName(compound.attributes.front().name);
    }
    compounds_.push_back(std::move(compound));
}

bool KeepingSelectors::mayKeep(const Tag &tag, const FileEncoding &encoding) const {
    if (compounds_.empty()) return false;
    QByteArray name = tag.name.toByteArray();
    for (char &c : name) c = lowered(c);
    // Most elements have nothing that any compound asks for.
    const bool typeAsked = std::find(types_.begin(), types_.end(), name) != types_.end();
    const bool attributeAsked =
        std::any_of(attributeNames_.begin(), attributeNames_.end(),
                    [&](const QByteArray &wanted) { return tag.attribute(wanted) != nullptr; });
    if (!typeAsked && !attributeAsked) return false;

    const auto value = [&](QByteArrayView attributeName) -> std::optional<QByteArray> {
        const Attribute *attribute = tag.attribute(attributeName);
        if (!attribute) return std::nullopt;
        return comparedValue(attribute->value, encoding);
    };
    const std::optional<QByteArray> id = value("id");
    const std::optional<QByteArray> classes = value("class");
    for (const Compound &compound : compounds_) {
        if (!compound.type.isEmpty() && compound.type != name) continue;
        const bool ids = std::all_of(compound.ids.begin(), compound.ids.end(),
                                     [&](const QByteArray &wanted) { return id && *id == wanted; });
        if (!ids) continue;
        const bool classesMatch = std::all_of(
            compound.classes.begin(), compound.classes.end(),
            [&](const QByteArray &wanted) { return classes && hasWord(*classes, wanted); });
        if (!classesMatch) continue;
        const bool attributes = std::all_of(
            compound.attributes.begin(), compound.attributes.end(), [&](const AttributeTest &test) {
                const std::optional<QByteArray> actual = value(test.name);
                return actual && passes(test, *actual);
            });
        if (attributes) return true;
    }
    return false;
}
