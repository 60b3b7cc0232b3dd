#pragma once

#include <QByteArrayView>

#include "core/html/html_tags.h"

// Bytes of a page compared with a name or word given in lower case, ASCII letters without case,
// as HTML compares tag names, attribute names and keywords.

inline bool startsWithFolded(const char *p, const char *end, QByteArrayView lowercase) {
    if (end - p < lowercase.size()) return false;
    for (const char c : lowercase) {
        if ((*p >= 'A' && *p <= 'Z' ? char(*p | 0x20) : *p) != c) return false;
        ++p;
    }
    return true;
}

inline bool containsFolded(QByteArrayView text, QByteArrayView lowercase) {
    for (qsizetype i = 0; i + lowercase.size() <= text.size(); ++i) {
        if (startsWithFolded(text.data() + i, text.data() + text.size(), lowercase)) return true;
    }
    return false;
}

inline bool hasWordFolded(QByteArrayView text, QByteArrayView lowercaseWord) {
    for (qsizetype i = 0; i < text.size();) {
        while (i < text.size() && html_bytes::isTagSpace(text[i])) ++i;
        qsizetype j = i;
        while (j < text.size() && !html_bytes::isTagSpace(text[j])) ++j;
        if (j - i == lowercaseWord.size() &&
            startsWithFolded(text.data() + i, text.data() + j, lowercaseWord))
            return true;
        i = j;
    }
    return false;
}
