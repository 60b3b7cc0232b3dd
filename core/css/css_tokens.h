#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <vector>

#include "core/html/word_lists.h"

// CSS as its tokenizer reads it (comments, strings, escapes such as \77 or \-, blocks), in UTF-8:
// text in another encoding is converted first. The readers of declarations and style sheets take
// these tokens apart.
namespace css {

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

// The tokens of CSS text in UTF-8, in order.
std::vector<Token> tokensOf(QByteArrayView utf8);

inline bool opens(Type type) {
    return type == Type::Function || type == Type::OpenParen || type == Type::OpenSquare ||
           type == Type::OpenCurly;
}

inline bool closes(Type type) {
    return type == Type::CloseParen || type == Type::CloseSquare || type == Type::CloseCurly;
}

// The index behind the block that opens at tokens[open], or the end.
qsizetype afterBlock(const std::vector<Token> &tokens, qsizetype open, qsizetype end);

// Names are compared with their ASCII letters in lower case.
inline char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

}  // namespace css
