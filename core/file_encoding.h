#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <optional>

#include "core/text_buffer.h"
#include "core/utf8_check.h"

// Receives the bytes of a file piece by piece; returns false to stop.
using ByteSink = std::function<bool(QByteArrayView)>;

// Makes a document of the bytes of a file. Valid UTF-8 is taken as it is; anything else is read as
// GB18030 (which contains code page 936 and GB2312) and converted to UTF-8, with the bytes that
// are not valid GB18030 kept unchanged. The result encodes back to exactly fileBytes. The answer
// is nullopt where the system has no GB18030 converter. validUtf8 is what isValidUtf8(fileBytes)
// says.
std::optional<TextBuffer> decodeFileBytes(QByteArray fileBytes, bool validUtf8);

inline std::optional<TextBuffer> decodeFileBytes(QByteArray fileBytes) {
    const bool validUtf8 = isValidUtf8(fileBytes);
    return decodeFileBytes(std::move(fileBytes), validUtf8);
}

// Hands the bytes of document, as stored in the given encoding, to sink. Bytes of the document
// that are not valid UTF-8 are passed through unchanged.
bool encodeDocument(QByteArrayView document, FileEncoding encoding, const ByteSink &sink);
