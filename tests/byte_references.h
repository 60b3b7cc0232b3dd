#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Plain statements of the byte rules, one byte at a time, written for clarity and nothing else:
// the fast code is checked against them on table rows, generated pages and fuzzed input.

// The line trim of core/line_trim.h.
inline QByteArray referenceTrim(const QByteArray &in) {
    QByteArray out;
    QByteArray line;
    const auto finishLine = [&] {
        qsizetype first = 0;
        qsizetype last = line.size();
        while (first < last && line[first] == ' ') ++first;
        while (last > first && line[last - 1] == ' ') --last;
        out += line.mid(first, last - first) + "\r\n";
        line.clear();
    };
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\r') {
            finishLine();
            if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
        } else {
            line += in[i];
        }
    }
    if (!line.isEmpty()) finishLine();
    return out;
}

// Whether bytes are well-formed UTF-8, by decoding each character and checking its value: not
// longer than needed, no surrogate, nothing above U+10FFFF, nothing cut off at the end.
inline bool referenceIsValidUtf8(QByteArrayView bytes) {
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int length = 0;
        char32_t value = 0;
        if (lead < 0x80) {
            length = 1;
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            value = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            value = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            value = lead & 0x07;
        } else {
            return false;  // a continuation byte without a lead, or a byte UTF-8 never uses
        }
        if (bytes.size() - i < length) return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3F);
        }
        constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < kShortest[length]) return false;
        if (value >= 0xD800 && value <= 0xDFFF) return false;
        if (value > 0x10FFFF) return false;
        i += length;
    }
    return true;
}
