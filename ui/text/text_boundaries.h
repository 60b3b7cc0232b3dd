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

// Words, one rule for the keys and the mouse: a line is cut where Qt's word boundaries (the
// Unicode rules) cut it, into words, runs of spaces and signs; a Chinese character stands on its
// own, as do digits beside it.
//
// The start of the next word on the line, or the line's end; from the end, the next line's start.
qsizetype nextWordStop(const TextDocument &document, qsizetype position);
// The start of the word before position, or the line's start; from the start, the end of the line
// before.
qsizetype previousWordStop(const TextDocument &document, qsizetype position);
// The word, run of spaces or sign that holds position, at the end of a line the one before it.
std::pair<qsizetype, qsizetype> wordAt(const TextDocument &document, qsizetype position);
