#include "ui/text/line_geometry.h"

#include <algorithm>

LineGeometry::LineGeometry(const TextDocument &document, GlyphWidths &widths)
    : document_(document), widths_(widths), tails_(std::size_t(document.blockCount())) {
    blocksReplaced_ =
        QObject::connect(&document, &TextDocument::blocksReplaced,
                         [this](qsizetype first, qsizetype removed, qsizetype inserted) {
                             replaceTails(first, removed, inserted);
                         });
}

LineGeometry::~LineGeometry() {
    QObject::disconnect(blocksReplaced_);
}

void LineGeometry::replaceTails(qsizetype first, qsizetype removed, qsizetype inserted) {
    const auto at = tails_.begin() + first;
    tails_.insert(tails_.erase(at, at + removed), std::size_t(inserted), Tail{});
}

void LineGeometry::forgetWidths() {
    std::fill(tails_.begin(), tails_.end(), Tail{});
}

qreal LineGeometry::measure(qreal x, qsizetype from, qsizetype to) const {
    if (from >= to) return x;
    const QByteArray bytes = document_.slice(from, to);
    return widths_.advance(x, bytes.constData(), bytes.constData() + bytes.size());
}

qreal LineGeometry::pastBlock(qreal x, qsizetype index) const {
    Tail &tail = tails_[std::size_t(index)];
    if (tail.lead < 0) {
        const qsizetype start = document_.blockStart(index);
        const QByteArray bytes = document_.slice(start, start + document_.block(index).bytes);
        const char *begin = bytes.constData();
        const char *end = begin + bytes.size();
        const char *afterLineEnd = end;
        while (afterLineEnd > begin && afterLineEnd[-1] != '\n' && afterLineEnd[-1] != '\r')
            --afterLineEnd;
        // Behind the first tab, the line stands on a tab stop whatever came before the block.
        const char *tab = std::find(afterLineEnd, end, '\t');
        tail.lead = float(widths_.advance(0, afterLineEnd, tab));
        tail.rest = tab == end ? -1 : float(widths_.advance(0, tab + 1, end));
    }
    if (tail.rest < 0) return x + tail.lead;
    return widths_.tabStopAfter(x + tail.lead) + tail.rest;
}

qreal LineGeometry::xOf(qsizetype line, qsizetype position) const {
    const qsizetype start = document_.lineStart(line);
    position = std::clamp(position, start, document_.lineTextEnd(line));
    const qsizetype first = document_.blockAt(start);
    const qsizetype last = document_.blockAt(position);
    if (first == last) return measure(0, start, position);
    // The line runs on past the end of each block before the last, with no line end in them.
    qreal x = 0;
    for (qsizetype block = first; block < last; ++block) x = pastBlock(x, block);
    return measure(x, document_.blockStart(last), position);
}

qreal LineGeometry::xOf(qsizetype position) const {
    return xOf(document_.lineOf(position), position);
}

qreal LineGeometry::lineWidth(qsizetype line) const {
    return xOf(line, document_.lineTextEnd(line));
}

std::pair<qsizetype, qreal> LineGeometry::characterAt(qsizetype line, qreal x) const {
    const qsizetype start = document_.lineStart(line);
    const qsizetype end = document_.lineTextEnd(line);
    const qsizetype last = document_.blockAt(end);
    qsizetype block = document_.blockAt(start);
    qsizetype from = start;
    qreal sum = 0;
    for (; block < last; ++block) {
        const qreal next = pastBlock(sum, block);
        if (next > x) break;
        sum = next;
        from = document_.blockStart(block + 1);
    }
    const qsizetype to =
        block < last ? document_.blockStart(block) + document_.block(block).bytes : end;
    const QByteArray bytes = document_.slice(from, to);
    const char *p = bytes.constData();
    const char *stop = p + bytes.size();
    while (p < stop) {
        const Glyph glyph = glyphAt(p, stop);
        const qreal w = widths_.width(glyph, sum);
        if (sum + w > x) break;
        sum += w;
        p += glyph.length;
    }
    return {from + (p - bytes.constData()), sum};
}

qsizetype LineGeometry::positionAtX(qsizetype line, qreal x) const {
    const auto [position, left] = characterAt(line, x);
    const qsizetype next = document_.nextCharacter(position);
    if (position >= document_.lineTextEnd(line) || x - left < (xOf(line, next) - left) / 2)
        return position;
    return next;
}
