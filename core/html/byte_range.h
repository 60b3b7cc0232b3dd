#pragma once

#include <QtGlobal>

// A stretch of a page whose bytes the trim keeps as they are, from begin up to end, positions
// counted from the page's first byte.
//
// Every stretch starts right behind a byte that is neither a space nor a tab (a tag's >, an
// attribute value's opening quote, a template literal's backtick, ...), or at the page's start,
// and ends at a byte that is neither a space, a tab nor a line end (a tag's <, a closing quote or
// backtick, ...), or at the page's end. So a run of spaces and tabs at either end of a line lies
// wholly inside or wholly outside every stretch, and the trim tells from the run's first byte
// whether the run stays.
struct ByteRange {
    qsizetype begin = 0;
    qsizetype end = 0;
    friend bool operator==(const ByteRange &, const ByteRange &) = default;
};
