#pragma once

#include <vector>

#include "core/html/byte_range.h"
#include "core/trim/line_trim_loops.h"

// The loop of the deep trim, which a user asks for: every line loses the spaces and the tabs at
// both of its ends, except where kept lies over them, and a line left empty goes with its line
// end, except where kept or keptLineEnds lies over that line end (the content of a pre-line
// element shows an empty line as one). Line ends stay as the trim keeps them: a lone CR becomes
// CR LF. Trims the lines from p to end into out; positions count from page.
//
// Tabs are white space to HTML, CSS and JavaScript alike: wherever a browser collapses the spaces
// at a line's ends, it collapses the tabs beside them too. A line left empty stands between two
// line ends that stay, so taking it away leaves white space where there was white space.
TrimmedLines trimLinesDeeply(const char *page, const char *p, const char *end, char *out,
                             const std::vector<ByteRange> &kept,
                             const std::vector<ByteRange> &keptLineEnds);
