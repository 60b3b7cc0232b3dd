#pragma once

#include <QByteArrayView>
#include <vector>

#include "core/css/css_tokens.h"

// What of an element's white space a browser shows as written: its spaces (and with them its
// tabs and line ends), or its line ends alone, as pre-line shows them.
enum class Keeping { Spaces, LineEnds };

// Whether CSS declarations (a style attribute's value, its character references read) set
// white-space or white-space-collapse to a value that keeps what keeping names. Spaces: pre,
// pre-wrap, break-spaces, preserve, preserve-spaces; line ends: those, and pre-line and
// preserve-breaks. A browser's own spelling of one of them counts (-moz-pre-wrap), and so does a
// variable (var(), env(), attr()) that may stand for one. One such declaration is enough, though
// a later one may undo it: keeping white space that a browser would not show changes nothing it
// shows.
bool declarationsKeep(QByteArrayView utf8Declarations, Keeping keeping = Keeping::Spaces);

namespace css {

// The same for the one declaration from begin to end (a property, a colon, a value).
bool declarationKeeps(const std::vector<Token> &tokens, qsizetype begin, qsizetype end,
                      Keeping keeping);

}  // namespace css
