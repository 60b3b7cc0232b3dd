#pragma once

#include <QByteArrayView>
#include <vector>

#include "core/trim/css_tokens.h"

// Whether CSS declarations (a style attribute's value, its character references read) set
// white-space or white-space-collapse to a value that keeps spaces: pre, pre-wrap,
// break-spaces, preserve, preserve-spaces, a browser's own spelling of one of them
// (-moz-pre-wrap), or a variable (var(), env(), attr()) that may stand for one. One such
// declaration is enough, though a later one may undo it: keeping spaces that a browser would not
// show changes nothing it shows.
bool declarationsKeepSpaces(QByteArrayView utf8Declarations);

namespace css {

// The same for the one declaration from begin to end (a property, a colon, a value).
bool declarationKeepsSpaces(const std::vector<Token> &tokens, qsizetype begin, qsizetype end);

}  // namespace css
