#include "ui/text/glyph_metrics.h"

#include <QFontInfo>
#include <cmath>

#include "core/encoding/utf8_check.h"

namespace {

constexpr int kTabSpaces = 8;

constexpr const char *kControlNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                         "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                         "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                         "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

char32_t decode(const char *p, int length) {
    const auto byte = [p](int i) { return char32_t(static_cast<unsigned char>(p[i])); };
    switch (length) {
        case 2:
            return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
        case 3:
            return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        case 4:
            return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
                   (byte(3) & 0x3F);
    }
    return byte(0);
}

}  // namespace

Glyph glyphAt(const char *p, const char *end) {
    const unsigned char lead = static_cast<unsigned char>(*p);
    if (lead < 0x80) {
        if (lead == '\t') return {lead, 1, GlyphKind::Tab};
        if (lead < 0x20 || lead == 0x7F) return {lead, 1, GlyphKind::Control};
        return {lead, 1, GlyphKind::Text};
    }
    const int length = utf8SequenceLength(p, end);
    if (length == 0) return {lead, 1, GlyphKind::InvalidByte};
    return {decode(p, length), length, GlyphKind::Text};
}

QString glyphLabel(const Glyph &glyph) {
    if (glyph.kind == GlyphKind::InvalidByte)
        return QLatin1Char('x') +
               QString::number(uint(glyph.code), 16).toUpper().rightJustified(2, QLatin1Char('0'));
    if (glyph.code == 0x7F) return QStringLiteral("DEL");
    if (glyph.code < 0x20) return QString::fromLatin1(kControlNames[glyph.code]);
    return {};
}

void GlyphWidths::setFont(const QFont &font) {
    font_ = font;
    labelFont_ = font;
    labelFont_.setPointSizeF(QFontInfo(font).pointSizeF() * 0.75);
    std::fill(direct_.begin(), direct_.end(), -1.0f);
    others_.clear();
    const QFontMetricsF metrics(font_);
    tabWidth_ = metrics.horizontalAdvance(QLatin1Char(' ')) * kTabSpaces;
    lineHeight_ = std::ceil(metrics.lineSpacing());
    ascent_ = metrics.ascent();
}

qreal GlyphWidths::measure(const Glyph &glyph) const {
    const QString text = QString::fromUcs4(&glyph.code, 1);
    return QFontMetricsF(font_).horizontalAdvance(text);
}

qreal GlyphWidths::boxWidth(const QString &label) const {
    return QFontMetricsF(labelFont_).horizontalAdvance(label) + 6;
}

qreal GlyphWidths::slowWidth(const Glyph &glyph) {
    const quint64 key = quint64(glyph.kind) << 32 | glyph.code;
    if (const auto found = others_.constFind(key); found != others_.cend()) return *found;
    // Boxes for the rest: tabs take the room up to their stop before they get here.
    const qreal w = glyph.kind == GlyphKind::Text ? measure(glyph) : boxWidth(glyphLabel(glyph));
    others_.insert(key, float(w));
    return w;
}

// Widths come in 64ths of a pixel, which sums of them keep exactly: a tab behind text that fills
// up to a stop goes on to the next.
qreal GlyphWidths::tabStopAfter(qreal x) const {
    return (std::floor(x / tabWidth_) + 1) * tabWidth_;
}

qreal GlyphWidths::advance(qreal x, const char *p, const char *end) {
    while (p < end) {
        // Plain ASCII is most of every page.
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (byte >= 0x20 && byte < 0x7F) {
            float &w = direct_[byte];
            if (w < 0) w = float(measure({byte, 1, GlyphKind::Text}));
            x += w;
            ++p;
            continue;
        }
        const Glyph glyph = glyphAt(p, end);
        x += width(glyph, x);
        p += glyph.length;
    }
    return x;
}
