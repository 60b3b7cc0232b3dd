#pragma once

#include <QColor>
#include <QTextLayout>
#include <memory>
#include <vector>

#include "ui/text/line_geometry.h"

class QPainter;

// Text being composed by an input method, shown at the caret before it is part of the document.
struct Preedit {
    qsizetype position = -1;
    QString text;
    int cursor = 0;
    QList<QTextLayout::FormatRange> formats;
};

// The part of one line that is on screen, laid out with QTextLayout: the sums find where it
// starts, and the layout places each character, the caret and the selection inside it.
class LineWindow {
public:
    struct Colours {
        QColor text;
        QColor background;
        QColor highlight;
        QColor highlightedText;
        QColor invalidByte;
    };

    // Lays out what of the line lies between left and right, from the line's start.
    void build(const LineGeometry &geometry, qsizetype line, qreal left, qreal right,
               const Preedit &preedit);

    qsizetype line() const { return line_; }
    qsizetype start() const { return start_; }
    qsizetype end() const { return end_; }
    // The x of a position from start() to end(), from the line's start.
    qreal xOf(qsizetype position) const;
    // The position nearest to x.
    qsizetype positionAt(qreal x) const;
    // The caret's x inside the text being composed, where there is any.
    qreal preeditCursorX() const;

    // Draws the window with the line's start at originX; selectionFrom..selectionTo is the
    // selection, which selectsLineEnd says takes in the line end as well.
    void draw(QPainter &painter, qreal originX, qreal top, const Colours &colours,
              qsizetype selectionFrom, qsizetype selectionTo, bool selectsLineEnd) const;

private:
    struct Run {
        qsizetype start = 0;  // in bytes
        qsizetype end = 0;
        qreal x = 0;
        qreal width = 0;
        Glyph glyph;
        bool preedit = false;
        std::unique_ptr<QTextLayout> layout;  // for text
        std::vector<qsizetype> offsets;       // the byte of each code unit, from start
    };
    void addText(QString &text, std::vector<qsizetype> &offsets, qsizetype start, qsizetype end,
                 qreal &x);
    void addLayout(Run &run, const QString &text, const QList<QTextLayout::FormatRange> &formats);

    const LineGeometry *geometry_ = nullptr;
    qsizetype line_ = -1;
    qsizetype start_ = 0;
    qsizetype end_ = 0;
    qreal startX_ = 0;
    qreal endX_ = 0;
    qreal lineHeight_ = 0;
    int preeditCursor_ = 0;
    qreal ascent_ = 0;
    std::vector<Run> runs_;
};
