#include "ui/text/screen_lines.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <cmath>

ScreenLines::ScreenLines(const QAbstractScrollArea &area, const LineGeometry &geometry,
                         const Preedit &preedit)
    : area_(area), geometry_(geometry), preedit_(preedit) {}

qsizetype ScreenLines::firstLine() const {
    return area_.verticalScrollBar()->value();
}

int ScreenLines::scrolledAcross() const {
    return area_.horizontalScrollBar()->value();
}

int ScreenLines::linesPerPage() const {
    return std::max(1, int(area_.viewport()->height() / geometry_.widths().lineHeight()));
}

bool ScreenLines::isShown(qsizetype line) const {
    const qsizetype first = firstLine();
    return line >= first && line <= first + linesPerPage();
}

const LineWindow &ScreenLines::window(qsizetype line) const {
    auto found = windows_.find(line);
    if (found != windows_.end()) return found->second;
    // Windows of lines long gone from the screen are not kept.
    if (windows_.size() > std::size_t(4 * linesPerPage() + 8)) windows_.clear();
    const qreal left = scrolledAcross() - kPadding;
    LineWindow &window = windows_[line];
    window.build(geometry_, line, left, left + area_.viewport()->width(), preedit_);
    return window;
}

qreal ScreenLines::xOf(qsizetype position) const {
    const qsizetype line = geometry_.document().lineOf(position);
    if (isShown(line)) {
        const LineWindow &window = this->window(line);
        if (position >= window.start() && position <= window.end()) return window.xOf(position);
    }
    return geometry_.xOf(line, position);
}

QRect ScreenLines::caretRect(qsizetype position, bool composing) const {
    const qsizetype line = geometry_.document().lineOf(position);
    qreal x = xOf(position);
    if (composing && line >= firstLine()) x = window(line).preeditCursorX();
    const int lineHeight = int(geometry_.widths().lineHeight());
    const int left = int(std::floor(x)) + kPadding - scrolledAcross();
    return QRect(left, int(line - firstLine()) * lineHeight, 1, lineHeight);
}

qsizetype ScreenLines::positionAtX(qsizetype line, qreal x) const {
    if (isShown(line)) {
        const LineWindow &window = this->window(line);
        if (x >= window.xOf(window.start()) && x <= window.xOf(window.end()))
            return window.positionAt(x);
    }
    return geometry_.positionAtX(line, x);
}

qsizetype ScreenLines::positionAt(const QPoint &point) const {
    const qsizetype line = std::clamp<qsizetype>(
        firstLine() + qsizetype(std::floor(point.y() / geometry_.widths().lineHeight())), 0,
        geometry_.document().lineCount() - 1);
    return positionAtX(line, point.x() - kPadding + scrolledAcross());
}
