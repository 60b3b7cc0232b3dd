#pragma once

#include <QByteArrayView>
#include <vector>

// Where a page's spaces are shown as they are: the content of every element that preserves
// white space, from the end of its start tag to the start of its end tag, or to the end of the
// page if it is never closed. Such an element is a pre, textarea, listing, xmp or plaintext, or
// any other element that can have content and whose own style attribute sets white-space (or
// white-space-collapse) to pre, pre-wrap, break-spaces, preserve or preserve-spaces.
//
// The page is read as HTML's tokenizer reads it, as far as that decides where such content
// starts and ends: tag and attribute names in any case, quoted attribute values that may hold
// < and >, comments, and the text of script, style, textarea, title, xmp, iframe, noembed and
// noframes, which ends only at its own end tag. plaintext runs to the end of the page. Inside
// preserved content everything counts as content up to the end tag that matches its element,
// counting the start and end tags of that element's name in between; elements nested in it are
// covered already.
//
// Works on bytes: the bytes below 0x30 and : ; < = > never occur inside a character of more than
// one byte in any charset pages are read in (isSupportedCharset refuses the others), so every
// such byte is that ASCII character, and so is every ASCII letter that follows one.
struct ByteRange {
    qsizetype begin = 0;
    qsizetype end = 0;
    friend bool operator==(const ByteRange &, const ByteRange &) = default;
};

// The ranges in page order, none overlapping; empty for most pages, which it tells cheaply.
std::vector<ByteRange> preservedContent(QByteArrayView page);
