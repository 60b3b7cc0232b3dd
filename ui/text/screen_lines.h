#pragma once

#include <QRect>
#include <unordered_map>

#include "ui/text/line_window.h"

class QAbstractScrollArea;

// The lines of a text area that are on screen, each laid out in a LineWindow while it is, as
// QPlainTextDocumentLayout lays out the blocks of QPlainTextEdit: where a position is drawn and
// which position a point is at. Positions on lines off screen stand where the sums give them.
// It reads how far the area is scrolled whenever it is asked, in lines down and pixels across.
class ScreenLines : public LinePlacement {
public:
    // Room between the viewport's left edge and the text.
    static constexpr int kPadding = 2;

    ScreenLines(const QAbstractScrollArea &area, const LineGeometry &geometry,
                const Preedit &preedit);

    qsizetype firstLine() const;
    int linesPerPage() const;
    const LineWindow &window(qsizetype line) const;
    // Forgets every window, once the text, the font, the width or the horizontal scroll changed.
    void forgetWindows() { windows_.clear(); }

    // Where a caret at position is drawn, in the viewport's coordinates; composing, inside the
    // text being composed.
    QRect caretRect(qsizetype position, bool composing) const;
    qsizetype positionAt(const QPoint &viewportPoint) const;

    qreal xOf(qsizetype position) const override;
    qsizetype positionAtX(qsizetype line, qreal x) const override;

private:
    // Whether the line is on screen, or the one half shown below the last.
    bool isShown(qsizetype line) const;
    int scrolledAcross() const;

    const QAbstractScrollArea &area_;
    const LineGeometry &geometry_;
    const Preedit &preedit_;
    // The windows of the lines on screen, laid out again after every change and horizontal
    // scroll.
    mutable std::unordered_map<qsizetype, LineWindow> windows_;
};
