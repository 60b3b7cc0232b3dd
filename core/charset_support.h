#pragma once

// Whether pages in a charset other than UTF-8 and GB18030 can be read and written back here byte
// for byte. Lines are trimmed on the bytes and the converter works on the bytes between two
// boundaries, copying ASCII as it is; that is sound for a charset only where
//  - every byte below 0x80 stands for the same ASCII character, on its own (not UTF-16, UTF-7, an
//    EBCDIC code page, nor a converter that holds a letter back to combine it with an accent);
//  - no character of more than one byte contains a byte below 0x30 or one of : ; < = >, so CR,
//    LF, space, quotes, / and the bytes of tags and style declarations are never part of one and
//    a character never spans a boundary (not ISO-2022-*, HZ);
//  - no character is longer than four bytes; and
//  - the converter gives out each character as soon as it has read it, in both directions (not
//    glibc's BIG5-HKSCS, CP1255, CP1258, TCVN or *-JISX0213, which hold characters back to
//    compose them with the next one).
// The answer comes from trying the system's converter with every byte sequence up to four bytes
// long that can start a character; it is worked out once per charset and remembered.
bool isSupportedCharset(const char *iconvName);
