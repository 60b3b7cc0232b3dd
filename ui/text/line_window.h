#pragma once

#include <QColor>
#include <QInputMethodEvent>
#include <QTextLayout>
#include <memory>
#include <utility>
#include <vector>

#include "ui/text/glyph_metrics.h"
#include "ui/text/text_document.h"

class QPainter;

// Where positions stand on their lines, as far as moving between lines needs to know: what Up,
// Down and the pages keep to.
class LinePlacement {
public:
    // The x of a position, from its line's start.
    virtual qreal xOf(qsizetype position) const = 0;
    // The place of the line nearest to x.
    virtual qsizetype positionAtX(qsizetype line, qreal x) const = 0;

protected:
    ~LinePlacement() = default;
};

// Where a line's characters stand, found from summed widths alone: each block of the document
// keeps the width of its text after its last line end, so a line of many MiB is measured once
// and then costs a sum over its blocks and a walk through one of them.
class LineGeometry : public LinePlacement {
public:
    LineGeometry(const TextDocument &document, GlyphWidths &widths)
        : document_(document), widths_(widths) {}

    const TextDocument &document() const { return document_; }
    GlyphWidths &widths() const { return widths_; }

    qreal lineWidth(qsizetype line) const;
    // The x of a position of the line, from the line's start.
    qreal xOf(qsizetype line, qsizetype position) const;
    // The first character of the line that reaches past x, and its x; or the line's end.
    std::pair<qsizetype, qreal> characterAt(qsizetype line, qreal x) const;

    qreal xOf(qsizetype position) const override;
    // The nearer edge of the character under x.
    qsizetype positionAtX(qsizetype line, qreal x) const override;

private:
    // Where the line has reached behind the block, when it had reached x at its start.
    qreal pastBlock(qreal x, qsizetype block) const;
    qreal measure(qreal x, qsizetype from, qsizetype to) const;

    const TextDocument &document_;
    GlyphWidths &widths_;
};

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

    // Draws the window with its left edge of the line at originX; from..to is the selection.
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
