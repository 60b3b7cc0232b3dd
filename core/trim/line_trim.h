#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "core/trim/preserved_content.h"

// How far the trim goes.
enum class TrimLevel {
    // The spaces at both ends of each line: what the window's Open always does.
    Standard,
    // Asked for, never the default: the spaces and the tabs at both ends of each line, and each
    // line left empty with its line end.
    Deep,
};

// The compression itself. A line ends at a CR LF pair, at a CR on its own or at a LF on its own.
// Every line loses the spaces (0x20 only) at both of its ends, except those that a browser shows
// as they are (see preservedContent), and keeps its line end, where a lone CR becomes CR LF. A
// last line without a line end gets one: LF on a page whose line ends are lone LFs
// (endsLinesWithLf), CR LF on any other; but a page that ends inside content whose spaces are
// kept ends as it did, since a browser would show the line end there. A line end at the very end
// of the input does not start another line. A UTF-8 byte-order mark at the start, or right behind
// the spaces the input starts with, is kept as it is, and the first line starts behind it.
//
// At TrimLevel::Deep a tab goes wherever a space goes, and so does a line left empty, with its
// line end, wherever a browser does not show that line end (see trimLinesDeeply).
//
// Works on bytes: in UTF-8, GB18030 and every other charset pages are read in, the bytes CR, LF,
// tab and space never occur inside a multi-byte character, so the result is the same as on
// characters. What a browser reads beside the page's bytes comes with them (see PageContext).
QByteArray trimLines(QByteArrayView input, const PageContext &context = {},
                     TrimLevel level = TrimLevel::Standard);

// Whether a page ends its lines with lone LFs: it has a LF and no CR at all. A page without any
// line end, an empty one included, does not.
bool endsLinesWithLf(QByteArrayView page);

// Trims a page in the buffer it was read into, to what trimLines gives at TrimLevel::Standard, so
// that a big page is never held twice. A line only loses bytes, so the trimmed text grows behind
// the bytes still to be read; a lone CR, which gains a LF, goes on in a buffer of its own where no
// byte was given up before it. A big page is trimmed in two parts at once, on two cores, cut where
// a line starts near its middle.
QByteArray trimLinesInPlace(QByteArray page, const PageContext &context = {});

// The same, cut at middle, a place where a line starts (see lineStartNear) or the page's end,
// whatever the page's size.
QByteArray trimLinesInPlace(QByteArray page, qsizetype middle, const PageContext &context = {});

// Where the first line that starts at position or behind it starts, or the page's end.
qsizetype lineStartNear(QByteArrayView page, qsizetype position);
