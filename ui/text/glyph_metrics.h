#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>
#include <vector>

// What one character of a line is drawn as: text through the font, a tab as blank room up to
// the next tab stop, a control character as a small box with its name and a byte that is no
// character as a marked box with its hex value.
enum class GlyphKind { Text, Tab, Control, InvalidByte };

struct Glyph {
    char32_t code = 0;  // the byte itself for an invalid byte
    int length = 1;     // in bytes
    GlyphKind kind = GlyphKind::Text;
};

// Reads the character at p, which must be before end and not a line end.
Glyph glyphAt(const char *p, const char *end);
// The name in a box: "NUL", "ESC", ... or "xFF".
QString glyphLabel(const Glyph &glyph);

// The widths of characters in one font, each measured once: summing them is how a long line
// finds the part of itself that is on screen without laying out the rest. The sums drift from
// laid out text by kerning, a pixel or so over a screen's width.
class GlyphWidths {
public:
    void setFont(const QFont &font);
    const QFont &font() const { return font_; }
    const QFont &labelFont() const { return labelFont_; }

    // The width of a character that starts x from the line's start.
    qreal width(const Glyph &glyph, qreal x) {
        if (glyph.kind == GlyphKind::Text && glyph.code < kDirect) {
            float &w = direct_[glyph.code];
            if (w < 0) w = float(measure(glyph));
            return w;
        }
        if (glyph.kind == GlyphKind::Tab) return tabStopAfter(x) - x;
        return slowWidth(glyph);
    }
    // Where the bytes from..end, none of them a line end, end when they start at x.
    qreal advance(qreal x, const char *p, const char *end);
    qreal boxWidth(const QString &label) const;
    // Tab stops stand every eight spaces from the line's start.
    qreal tabWidth() const { return tabWidth_; }
    qreal tabStopAfter(qreal x) const;
    qreal lineHeight() const { return lineHeight_; }
    qreal ascent() const { return ascent_; }

private:
    static constexpr char32_t kDirect = 0x10000;
    qreal measure(const Glyph &glyph) const;
    qreal slowWidth(const Glyph &glyph);

    QFont font_;
    QFont labelFont_;
    std::vector<float> direct_ = std::vector<float>(kDirect, -1.0f);
    QHash<quint64, float> others_;
    qreal tabWidth_ = 0;
    qreal lineHeight_ = 0;
    qreal ascent_ = 0;
};
