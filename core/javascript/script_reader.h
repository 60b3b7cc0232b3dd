#pragma once

#include <vector>

#include "core/encoding/character_steps.h"
#include "core/html/byte_range.h"

enum class ScriptSyntax { Classic, Module };

// Finds the stretches of a script whose spaces around a line end its program sees, and appends
// them to ranges (positions counted from page): a template literal that spans lines (with ${...}
// nested to any depth), from behind its opening backtick to its closing one, and a string that a
// backslash at a line's end continues, between its quotes. JavaScript is read only as far as that
// needs: strings, template literals, comments (the HTML-like <!-- and --> of classic scripts
// among them) and regular-expression literals are told apart. A / that could start a regular
// expression as well as divide (behind a } that may close a block or an object, or behind a word
// such as yield that may be a name), a string or regular expression that a line end cuts off,
// and a template literal that the script's end cuts off keep the spaces of the rest of the script.
// The script's bytes are read in its page's encoding, so that a character whose second byte is
// that of \ or ` is not taken for one.
void findScriptStretches(const char *page, const char *begin, const char *end, ScriptSyntax syntax,
                         const CharacterSteps &steps, std::vector<ByteRange> &ranges);
