#pragma once

#include <QtGlobal>

// What a block of a text document sums: the UTF-16 code units its bytes stand for, a byte that
// is not part of a well-formed UTF-8 character counting one, and its line ends: CR LF, a CR on
// its own and a LF on its own.
struct BlockSums {
    qsizetype units = 0;
    qsizetype lineEnds = 0;
};

// Whether reading may start afresh at p, of the bytes from begin: not between CR and LF, and not
// inside a UTF-8 character.
bool mayStartBlock(const char *begin, const char *p);
// The sums of the bytes from p to end, which start and end where a block may.
BlockSums sumBlock(const char *p, const char *end);
// Where the lineEnd-th line end (from 1) after p ends, or end.
const char *afterLineEnd(const char *p, const char *end, qsizetype lineEnd);
