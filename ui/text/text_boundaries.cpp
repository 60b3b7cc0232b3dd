#include "ui/text/text_boundaries.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <optional>

#include "ui/text/glyph_metrics.h"

namespace {

// Enough for any grapheme cluster and for the words of real text.
constexpr int kGraphemeReach = 32;
constexpr int kWordReach = 256;

// The pieces a line is cut into around a position, as far as words of real text reach.
class LinePieces {
public:
    LinePieces(const TextDocument &document, qsizetype position) {
        const qsizetype line = document.lineOf(position);
        lineStart_ = document.lineStart(line);
        lineEnd_ = document.lineTextEnd(line);
        const LocalText local(document, position, kWordReach, kWordReach);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Word, local.text);
        // The line's ends are boundaries, and so are the ends of the text read, where a long line
        // runs on beyond its reach.
        for (int unit = 0; unit >= 0; unit = finder.toNextBoundary()) {
            const qsizetype at = local.positionOf(unit);
            if (at >= lineStart_ && at <= lineEnd_) cuts_.push_back(at);
        }
        for (std::size_t i = 0; i + 1 < cuts_.size(); ++i) {
            const QString piece = local.text.mid(
                local.unitOf(cuts_[i]), local.unitOf(cuts_[i + 1]) - local.unitOf(cuts_[i]));
            blank_.push_back(
                std::all_of(piece.begin(), piece.end(), [](QChar c) { return c.isSpace(); }));
        }
    }

    qsizetype lineStart() const { return lineStart_; }
    qsizetype lineEnd() const { return lineEnd_; }

    // The piece that holds position, at the line's end the one before it; none on an empty line.
    std::optional<std::size_t> pieceAt(qsizetype position) const {
        if (blank_.empty()) return std::nullopt;
        const auto after = std::upper_bound(cuts_.begin(), cuts_.end(), position);
        const std::size_t index = std::size_t(after - cuts_.begin());
        return std::clamp<std::size_t>(index, 1, blank_.size()) - 1;
    }
    qsizetype start(std::size_t piece) const { return cuts_[piece]; }
    qsizetype end(std::size_t piece) const { return cuts_[piece + 1]; }
    bool blank(std::size_t piece) const { return blank_[piece]; }
    std::size_t count() const { return blank_.size(); }

private:
    qsizetype lineStart_ = 0;
    qsizetype lineEnd_ = 0;
    std::vector<qsizetype> cuts_;  // where pieces start, and where the last ends
    std::vector<bool> blank_;      // for each piece, whether it is spaces only
};

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

qsizetype nextWordStop(const TextDocument &document, qsizetype position) {
    const LinePieces pieces(document, position);
    if (position >= pieces.lineEnd()) return document.lineStart(document.lineOf(position) + 1);
    std::size_t piece = *pieces.pieceAt(position);
    while (++piece < pieces.count() && pieces.blank(piece)) {
    }
    return piece < pieces.count() ? pieces.start(piece) : pieces.end(piece - 1);
}

qsizetype previousWordStop(const TextDocument &document, qsizetype position) {
    const LinePieces pieces(document, position);
    if (position <= pieces.lineStart()) {
        const qsizetype line = document.lineOf(position);
        return line > 0 ? document.lineTextEnd(line - 1) : 0;
    }
    std::size_t piece = *pieces.pieceAt(position - 1);
    while (pieces.blank(piece) && piece > 0) --piece;
    return pieces.start(piece);
}

std::pair<qsizetype, qsizetype> wordAt(const TextDocument &document, qsizetype position) {
    const LinePieces pieces(document, position);
    const std::optional<std::size_t> piece = pieces.pieceAt(position);
    if (!piece) return {position, position};
    return {pieces.start(*piece), pieces.end(*piece)};
}
