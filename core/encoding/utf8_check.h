#pragma once

#include <QByteArrayView>

// Whether bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no character cut off at the end. The same answer as QByteArrayView::isValidUtf8, from simdjson's
// validator, which reads the widest blocks the processor takes and so costs about what reading the
// page costs, cheap enough to run on every open.
bool isValidUtf8(QByteArrayView bytes);

// The length of the well-formed UTF-8 character that starts at p, or 0 where none does: p is a
// continuation byte or a byte UTF-8 never uses, or the character is cut short before end.
inline int utf8SequenceLength(const char *p, const char *end) {
    const auto byte = [](const char *q) { return static_cast<unsigned char>(*q); };
    const unsigned char lead = byte(p);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80;  // the range of the byte behind the lead
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong form
        if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong form
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (end - p < length) return 0;
    if (byte(p + 1) < low || byte(p + 1) > high) return 0;
    for (int i = 2; i < length; ++i)
        if (byte(p + i) < 0x80 || byte(p + i) > 0xBF) return 0;
    return length;
}
