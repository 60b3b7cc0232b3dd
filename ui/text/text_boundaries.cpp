#include "ui/text/text_boundaries.h"

#include <QTextBoundaryFinder>
#include <algorithm>

#include "ui/text/glyph_metrics.h"

namespace {

// Enough for any grapheme cluster and for the words of real text.
constexpr int kGraphemeReach = 32;
constexpr int kWordReach = 256;

}  // namespace

LocalText::LocalText(const TextDocument &document, qsizetype position, int charactersBefore,
                     int charactersAfter) {
    start = position;
    for (int i = 0; i < charactersBefore && start > 0; ++i)
        start = document.previousCharacter(start);
    qsizetype end = position;
    for (int i = 0; i < charactersAfter && end < document.size(); ++i)
        end = document.nextCharacter(end);
    const QByteArray bytes = document.slice(start, end);
    const char *begin = bytes.constData();
    const char *stop = begin + bytes.size();
    for (const char *p = begin; p < stop;) {
        if (*p == '\r' || *p == '\n') {
            text.append(QLatin1Char(*p));
            offsets.push_back(p - begin);
            ++p;
            continue;
        }
        const Glyph glyph = glyphAt(p, stop);
        const char32_t code = glyph.kind == GlyphKind::InvalidByte
                                  ? char32_t(QChar::ReplacementCharacter)
                                  : glyph.code;
        text.append(QString::fromUcs4(&code, 1));
        offsets.push_back(p - begin);
        if (code >= 0x10000) offsets.push_back(p - begin);
        p += glyph.length;
    }
    offsets.push_back(bytes.size());
}

int LocalText::unitOf(qsizetype position) const {
    return int(std::lower_bound(offsets.begin(), offsets.end(), position - start) -
               offsets.begin());
}

qsizetype nextGrapheme(const TextDocument &document, qsizetype position) {
    const LocalText local(document, position, 0, kGraphemeReach);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, local.text);
    finder.setPosition(0);
    const int next = finder.toNextBoundary();
    return next < 0 ? local.positionOf(int(local.text.size())) : local.positionOf(next);
}

qsizetype previousGrapheme(const TextDocument &document, qsizetype position) {
    const LocalText local(document, position, kGraphemeReach, 0);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, local.text);
    finder.setPosition(int(local.text.size()));
    const int previous = finder.toPreviousBoundary();
    return previous < 0 ? local.start : local.positionOf(previous);
}

qsizetype nextWordStart(const TextDocument &document, qsizetype position) {
    const LocalText local(document, position, 0, kWordReach);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, local.text);
    finder.setPosition(0);
    for (int next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        if (next == local.text.size() ||
            finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            return local.positionOf(next);
    }
    return local.positionOf(int(local.text.size()));
}

qsizetype previousWordStart(const TextDocument &document, qsizetype position) {
    const LocalText local(document, position, kWordReach, 0);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, local.text);
    finder.setPosition(int(local.text.size()));
    for (int previous = finder.toPreviousBoundary(); previous >= 0;
         previous = finder.toPreviousBoundary()) {
        if (previous == 0 || finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            return local.positionOf(previous);
    }
    return local.start;
}

std::pair<qsizetype, qsizetype> wordAt(const TextDocument &document, qsizetype position) {
    const LocalText local(document, position, kWordReach, kWordReach);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, local.text);
    const int unit = local.unitOf(position);
    finder.setPosition(unit);
    // At the end of the text, the word is the one before.
    if (unit == local.text.size() && unit > 0) finder.toPreviousBoundary();
    const int from = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
    const int to = finder.toNextBoundary();
    return {local.positionOf(std::max(from, 0)),
            local.positionOf(to < 0 ? int(local.text.size()) : to)};
}
