#pragma once

#include <QMetaObject>
#include <utility>
#include <vector>

#include "ui/text/glyph_metrics.h"
#include "ui/text/text_document.h"

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

// Where a line's characters stand, found from summed widths alone: it keeps, for each block of
// the document, the width of the block's text after its last line end, so a line of many MiB is
// measured once and then costs a sum over its blocks and a walk through one of them.
class LineGeometry : public LinePlacement {
public:
    LineGeometry(const TextDocument &document, GlyphWidths &widths);
    ~LineGeometry();
    LineGeometry(const LineGeometry &) = delete;
    LineGeometry &operator=(const LineGeometry &) = delete;

    const TextDocument &document() const { return document_; }
    GlyphWidths &widths() const { return widths_; }
    // Forgets every block's width, when the font changes.
    void forgetWidths();

    qreal lineWidth(qsizetype line) const;
    // The x of a position of the line, from the line's start.
    qreal xOf(qsizetype line, qsizetype position) const;
    // The first character of the line that reaches past x, and its x; or the line's end.
    std::pair<qsizetype, qreal> characterAt(qsizetype line, qreal x) const;

    qreal xOf(qsizetype position) const override;
    // The nearer edge of the character under x.
    qsizetype positionAtX(qsizetype line, qreal x) const override;

private:
    // The width of a block's text after its last line end, in two parts, so that it holds
    // wherever the line has reached when the block starts: the width before the first tab,
    // negative until measured, and the width behind that tab measured from a tab stop, negative
    // where there is no tab.
    struct Tail {
        float lead = -1;
        float rest = -1;
    };
    // Where the line has reached behind the block, when it had reached x at its start.
    qreal pastBlock(qreal x, qsizetype block) const;
    qreal measure(qreal x, qsizetype from, qsizetype to) const;
    void replaceTails(qsizetype first, qsizetype removed, qsizetype inserted);

    const TextDocument &document_;
    GlyphWidths &widths_;
    // One for each block of the document, measured when first asked for.
    mutable std::vector<Tail> tails_;
    QMetaObject::Connection blocksReplaced_;
};
