#include "ui/text/line_window.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

// Laid out beyond each edge of the screen, so that a character cut by the edge is drawn whole.
constexpr qreal kMargin = 64;
// The most bytes one window reads: far more than the widest screen shows.
constexpr qsizetype kMostBytes = qsizetype{1} << 16;

}  // namespace

qreal LineGeometry::measure(qreal x, qsizetype from, qsizetype to) const {
    if (from >= to) return x;
    const QByteArray bytes = document_.slice(from, to);
    return widths_.advance(x, bytes.constData(), bytes.constData() + bytes.size());
}

qreal LineGeometry::pastBlock(qreal x, qsizetype index) const {
    const TextDocument::Block &block = document_.block(index);
    if (block.tailLead < 0) {
        const qsizetype start = document_.blockStart(index);
        const QByteArray bytes = document_.slice(start, start + block.bytes);
        const char *begin = bytes.constData();
        const char *end = begin + bytes.size();
        const char *tail = end;
        while (tail > begin && tail[-1] != '\n' && tail[-1] != '\r') --tail;
        // Behind the first tab, the line stands on a tab stop whatever came before the block.
        const char *tab = std::find(tail, end, '\t');
        block.tailLead = float(widths_.advance(0, tail, tab));
        block.tailRest = tab == end ? -1 : float(widths_.advance(0, tab + 1, end));
    }
    if (block.tailRest < 0) return x + block.tailLead;
    return widths_.tabStopAfter(x + block.tailLead) + block.tailRest;
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

void LineWindow::build(const LineGeometry &geometry, qsizetype line, qreal left, qreal right,
                       const Preedit &preedit) {
    geometry_ = &geometry;
    line_ = line;
    runs_.clear();
    GlyphWidths &widths = geometry.widths();
    lineHeight_ = widths.lineHeight();
    ascent_ = widths.ascent();
    const TextDocument &document = geometry.document();
    const qsizetype lineEnd = document.lineTextEnd(line);
    std::tie(start_, startX_) = geometry.characterAt(line, std::max(left - kMargin, qreal{0}));

    const QByteArray bytes = document.slice(start_, std::min(lineEnd, start_ + kMostBytes));
    const char *begin = bytes.constData();
    const char *stop = begin + bytes.size();
    const bool composing = preedit.position >= start_ && preedit.position <= lineEnd &&
                           !preedit.text.isEmpty() && document.lineOf(preedit.position) == line;
    QString text;
    std::vector<qsizetype> offsets;
    qsizetype textStart = start_;
    qreal x = startX_;
    qreal summed = startX_;
    // The room the text being composed takes, which the sums do not know of.
    qreal composed = 0;
    const char *p = begin;
    for (;;) {
        const qsizetype position = start_ + (p - begin);
        if (composing && position == preedit.position) {
            addText(text, offsets, textStart, position, x);
            Run run;
            run.start = run.end = position;
            run.x = x;
            run.preedit = true;
            preeditCursor_ = preedit.cursor;
            addLayout(run, preedit.text, preedit.formats);
            x += run.width;
            composed += run.width;
            runs_.push_back(std::move(run));
        }
        if (p >= stop || summed > right + kMargin) break;
        const Glyph glyph = glyphAt(p, stop);
        const qreal before = summed;
        summed += widths.width(glyph, summed);
        if (glyph.kind == GlyphKind::Text) {
            if (text.isEmpty()) textStart = position;
            const qsizetype offset = position - textStart;
            if (glyph.code >= 0x10000) offsets.push_back(offset);
            offsets.push_back(offset);
            text.append(QString::fromUcs4(&glyph.code, 1));
        } else {
            addText(text, offsets, textStart, position, x);
            Run run;
            run.start = position;
            run.end = position + glyph.length;
            run.x = x;
            run.glyph = glyph;
            // A tab ends on the stop the sums give, where laid out text may have drifted from
            // them: the two agree again behind every tab.
            run.width = glyph.kind == GlyphKind::Tab
                            ? std::max(x, widths.tabStopAfter(before + composed)) - x
                            : widths.width(glyph, x);
            x += run.width;
            runs_.push_back(std::move(run));
        }
        p += glyph.length;
    }
    end_ = start_ + (p - begin);
    addText(text, offsets, textStart, end_, x);
    endX_ = x;
}

void LineWindow::addText(QString &text, std::vector<qsizetype> &offsets, qsizetype start,
                         qsizetype end, qreal &x) {
    if (text.isEmpty()) return;
    Run run;
    run.start = start;
    run.end = end;
    run.x = x;
    // The place behind the last character.
    offsets.push_back(end - start);
    run.offsets = std::move(offsets);
    addLayout(run, text, {});
    x += run.width;
    runs_.push_back(std::move(run));
    text.clear();
    offsets = {};
}

void LineWindow::addLayout(Run &run, const QString &text,
                           const QList<QTextLayout::FormatRange> &formats) {
    run.layout = std::make_unique<QTextLayout>(text, geometry_->widths().font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    run.layout->setTextOption(option);
    run.layout->setCacheEnabled(true);
    if (!formats.isEmpty()) run.layout->setFormats(formats);
    run.layout->beginLayout();
    QTextLine textLine = run.layout->createLine();
    textLine.setLineWidth(1e6);
    textLine.setPosition({0, 0});
    run.layout->endLayout();
    run.width = textLine.cursorToX(text.size());
}

qreal LineWindow::xOf(qsizetype position) const {
    if (position <= start_) return startX_;
    for (const Run &run : runs_) {
        if (run.preedit || position > run.end) continue;
        if (!run.layout) return position <= run.start ? run.x : run.x + run.width;
        const qsizetype relative = position - run.start;
        const auto unit = std::lower_bound(run.offsets.begin(), run.offsets.end(), relative) -
                          run.offsets.begin();
        return run.x + run.layout->lineAt(0).cursorToX(int(unit));
    }
    return endX_;
}

qsizetype LineWindow::positionAt(qreal x) const {
    if (x <= startX_) return start_;
    for (const Run &run : runs_) {
        if (x >= run.x + run.width) continue;
        if (run.preedit) return run.start;
        if (!run.layout) return x < run.x + run.width / 2 ? run.start : run.end;
        const int unit = run.layout->lineAt(0).xToCursor(x - run.x);
        return run.start + run.offsets[std::size_t(
                               std::clamp<qsizetype>(unit, 0, qsizetype(run.offsets.size()) - 1))];
    }
    return end_;
}

qreal LineWindow::preeditCursorX() const {
    for (const Run &run : runs_) {
        if (run.preedit) return run.x + run.layout->lineAt(0).cursorToX(preeditCursor_);
    }
    return xOf(start_);
}

void LineWindow::draw(QPainter &painter, qreal originX, qreal top, const Colours &colours,
                      qsizetype selectionFrom, qsizetype selectionTo, bool selectsLineEnd) const {
    const qreal baseline = top + ascent_;
    const GlyphWidths &widths = geometry_->widths();
    for (const Run &run : runs_) {
        const qreal left = originX + run.x;
        const bool selected =
            run.start >= selectionFrom && run.end <= selectionTo && run.start < run.end;
        if (run.layout) {
            QList<QTextLayout::FormatRange> selections;
            if (!run.preedit && selectionFrom < run.end && selectionTo > run.start) {
                const auto unitOf = [&run](qsizetype position) {
                    return int(std::lower_bound(run.offsets.begin(), run.offsets.end(),
                                                position - run.start) -
                               run.offsets.begin());
                };
                QTextLayout::FormatRange range;
                range.start = unitOf(std::max(selectionFrom, run.start));
                range.length = unitOf(std::min(selectionTo, run.end)) - range.start;
                range.format.setBackground(colours.highlight);
                range.format.setForeground(colours.highlightedText);
                selections.append(range);
            }
            const QTextLine textLine = run.layout->lineAt(0);
            painter.setPen(colours.text);
            run.layout->draw(&painter, QPointF(left, baseline - textLine.ascent()), selections);
            continue;
        }
        const QRectF cell(left, top, run.width, lineHeight_);
        if (selected) painter.fillRect(cell, colours.highlight);
        if (run.glyph.kind == GlyphKind::Tab) continue;
        const QRectF box = cell.adjusted(1, 2, -1, -2);
        painter.setPen(Qt::NoPen);
        if (run.glyph.kind == GlyphKind::InvalidByte) {
            painter.setBrush(colours.invalidByte);
            painter.drawRect(box);
        } else {
            painter.setBrush(colours.text);
            painter.drawRoundedRect(box, 2, 2);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(colours.background);
        painter.setFont(widths.labelFont());
        painter.drawText(box, Qt::AlignCenter, glyphLabel(run.glyph));
    }
    if (selectsLineEnd && end_ == geometry_->document().lineTextEnd(line_)) {
        painter.fillRect(QRectF(originX + endX_, top, widths.tabWidth() / 8, lineHeight_),
                         colours.highlight);
    }
}
