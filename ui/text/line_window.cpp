#include "ui/text/line_window.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <tuple>

namespace {

// Laid out beyond each edge of the screen, so that a character cut by the edge is drawn whole.
constexpr qreal kMargin = 64;
// The most bytes one window reads: far more than the widest screen shows.
constexpr qsizetype kMostBytes = qsizetype{1} << 16;

}  // namespace

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
