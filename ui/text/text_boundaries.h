#pragma once

#include <QString>
#include <vector>

#include "ui/text/text_document.h"

// A few characters of a document around a position, as text with the byte each code unit
// starts at, for Qt's boundary finders: grapheme clusters and words are found there without
// reading more of a long line than a screen holds.
struct LocalText {
    LocalText(const TextDocument &document, qsizetype position, int charactersBefore,
              int charactersAfter);
    qsizetype positionOf(int unit) const { return start + offsets[std::size_t(unit)]; }
    int unitOf(qsizetype position) const;

    qsizetype start = 0;
    QString text;
    std::vector<qsizetype> offsets;  // one for each code unit and one behind the last
};

// The places where the caret stops.
qsizetype nextGrapheme(const TextDocument &document, qsizetype position);
qsizetype previousGrapheme(const TextDocument &document, qsizetype position);
qsizetype nextWordStart(const TextDocument &document, qsizetype position);
qsizetype previousWordStart(const TextDocument &document, qsizetype position);
// The word, or the run of spaces or of signs, that holds position.
std::pair<qsizetype, qsizetype> wordAt(const TextDocument &document, qsizetype position);
