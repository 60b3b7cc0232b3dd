#include "core/css/css_declarations.h"

namespace css {

namespace {

// A name without a browser's prefix: -moz-pre-wrap is pre-wrap, -pre-wrap too.
QByteArrayView withoutVendorPrefix(QByteArrayView name) {
    if (name.size() < 2 || name[0] != '-' || name[1] == '-') return name;
    const qsizetype dash = name.indexOf('-', 1);
    return dash < 0 ? name : name.sliced(dash + 1);
}

}  // namespace

bool declarationKeeps(const std::vector<Token> &tokens, qsizetype begin, qsizetype end,
                      Keeping keeping) {
    while (begin < end && tokens[begin].type == Type::Whitespace) ++begin;
    if (begin == end || tokens[begin].type != Type::Ident) return false;
    const QByteArrayView property = withoutVendorPrefix(tokens[begin].value);
    if (!isOneOf(property, {"white-space", "white-space-collapse"})) return false;
    qsizetype i = begin + 1;
    while (i < end && tokens[i].type == Type::Whitespace) ++i;
    if (i == end || tokens[i].type != Type::Colon) return false;
    for (++i; i < end; ++i) {
        const Token &token = tokens[i];
        if (token.type != Type::Ident) {
            if (token.type == Type::Function && isOneOf(token.value, {"var", "env", "attr"}))
                return true;
            continue;
        }
        const QByteArrayView value = withoutVendorPrefix(token.value);
        if (isOneOf(value, {"pre", "pre-wrap", "break-spaces", "preserve", "preserve-spaces",
                            "pre-space"}))
            return true;
        if (keeping == Keeping::LineEnds && isOneOf(value, {"pre-line", "preserve-breaks"}))
            return true;
    }
    return false;
}

}  // namespace css

bool declarationsKeep(QByteArrayView utf8Declarations, Keeping keeping) {
    using namespace css;
    const std::vector<Token> tokens = tokensOf(utf8Declarations);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= qsizetype(tokens.size()); ++i) {
        if (i < qsizetype(tokens.size()) && opens(tokens[i].type)) {
            i = afterBlock(tokens, i, qsizetype(tokens.size())) - 1;
            continue;
        }
        if (i == qsizetype(tokens.size()) || tokens[i].type == Type::Semicolon) {
            if (declarationKeeps(tokens, start, i, keeping)) return true;
            start = i + 1;
        }
    }
    return false;
}
