#include "core/css/css_tokens.h"

#include <QString>

namespace css {

namespace {

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

}  // namespace

std::vector<Token> tokensOf(QByteArrayView utf8) {
    return Tokenizer(utf8).all();
}

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

}  // namespace css
