#pragma once

#include <QtGlobal>
#include <cstdint>

#include "core/encoding/encoding.h"

// How the bytes of a page make characters, as far as the readers of scripts and style sheets
// need it. In most charsets that pages are read in, a byte below 0x80 is always an ASCII character
// of its own. In GB18030 (GBK), Big5, Shift_JIS and Korean UHC a character of two bytes may end in
// one: its second byte may be that of \, `, { or a letter, which then is no backslash, backtick,
// brace or letter. The readers step over such characters whole, as a browser decodes them first.
// The byte ranges are the Encoding Standard's; a lead byte that no byte of its range follows is a
// character on its own, and the byte behind it starts the next one.
class CharacterSteps {
public:
    explicit CharacterSteps(const FileEncoding &encoding);

    // The bytes of the character that starts at p, at least one and none past end.
    qsizetype length(const char *p, const char *end) const {
        if (family_ == Family::AsciiApart || static_cast<unsigned char>(*p) < 0x80) return 1;
        return multiByteLength(p, end);
    }

private:
    enum class Family : std::uint8_t { AsciiApart, Gb18030, Big5, ShiftJis, Uhc };

    qsizetype multiByteLength(const char *p, const char *end) const;

    Family family_ = Family::AsciiApart;
};
