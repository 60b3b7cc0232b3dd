#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

#include "core/preserved_content.h"

// The compression itself. A line ends at a CR LF pair, at a CR on its own or at a LF on its own.
// Every line loses the spaces (0x20 only) at both of its ends, except those that a browser shows
// as they are (see preservedContent), and keeps its line end, where a lone CR becomes CR LF. A
// last line without a line end gets one: LF on a page whose line ends are lone LFs
// (endsLinesWithLf), CR LF on any other. A line end at the very end of the input does not start
// another line. A UTF-8 byte-order mark at the start, or right behind the spaces the input starts
// with, is kept as it is, and the first line starts behind it.
//
// Works on bytes: in UTF-8, GB18030 and every other charset pages are read in, the bytes CR, LF
// and space never occur inside a multi-byte character, so the result is the same as on
// characters.
QByteArray trimLines(QByteArrayView input);

// Whether a page ends its lines with lone LFs: it has a LF and no CR at all. A page without any
// line end, an empty one included, does not.
bool endsLinesWithLf(QByteArrayView page);

// Trims a page in the buffer it was read into, to what trimLines gives, so that a big page is
// never held twice. It goes in steps, each up to a place where a line starts (see lineStartNear).
// Between two steps the page's bytes from where the last one stopped are still as they were read,
// and the result so far lies whole in front of them: another thread may read the one or the
// other until the next step begins.
class InPlaceTrim {
public:
    explicit InPlaceTrim(QByteArray page);

    // The page as it was read; its bytes behind the last step are still as they were.
    QByteArrayView page() const { return buffer_; }
    // The lines trimmed so far.
    QByteArrayView result() const;

    // Trims the page up to position, a place where a line starts or the page's end.
    void trimTo(qsizetype position);
    // Trims the rest and hands over the result; the page is gone then.
    QByteArray finish();

private:
    QByteArray buffer_;
    // Where a lone CR found no room in the page's buffer, the rest of the result goes here.
    QByteArray spill_;
    std::vector<ByteRange> ranges_;
    std::size_t rangesPassed_ = 0;
    bool linesEndWithLf_;
    bool lastLineOpen_ = false;
    qsizetype read_ = 0;
    qsizetype written_ = 0;
};

// Where the first line that starts at position or behind it starts, or the page's end.
qsizetype lineStartNear(QByteArrayView page, qsizetype position);
