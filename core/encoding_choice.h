#pragma once

#include <QByteArrayView>
#include <optional>

#include "core/text_buffer.h"

// The encoding a page is read in, from its bytes, in this order:
//  1. a UTF-8 byte-order mark: UTF-8;
//  2. a charset the page declares in its first 1024 bytes (see declaredEncoding);
//  3. otherwise what the bytes say (see encodingOfContent).
// A declaration wins even where the bytes say otherwise, as in browsers.
FileEncoding chooseFileEncoding(QByteArrayView page);

// The encoding a page states at its start, by steps 1 and 2 above; nullopt where it states none.
std::optional<FileEncoding> statedEncoding(QByteArrayView page);

// The encoding of a page that declares none: UTF-8 when it is valid UTF-8 or mostly UTF-8
// (isMostlyUtf8), else GB18030. validUtf8 is what isValidUtf8(page) says.
FileEncoding encodingOfContent(QByteArrayView page, bool validUtf8);

// Whether a page that is not valid UTF-8 is still a UTF-8 page with a few stray bytes in it: a
// Latin-1 "©" pasted in, a 0xFF, a character cut short. It is, when
//  - it holds characters of three or four bytes in UTF-8 (Chinese, say),
//  - no run of bytes that are not valid UTF-8 is longer than three bytes, and
//  - there are at least twice as many of those characters as there are such runs.
// A GBK page fails this: its Chinese text makes long runs of bytes that are not UTF-8, and where
// two of its bytes happen to be valid UTF-8 they mostly make a two-byte (Latin, Greek, ...)
// character, which does not count. Of 591,328 generated GB2312 pages (one to fifty words of one
// to four characters between markup), 12 were taken for UTF-8, all with at most eight Chinese
// characters; of pages made from the system's Chinese message catalogues, no GBK one was, while
// every UTF-8 one with a stray byte and at least two Chinese characters was read as UTF-8.
bool isMostlyUtf8(QByteArrayView page);
