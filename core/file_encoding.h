#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <optional>

#include "core/text_buffer.h"

// Receives the bytes of a file piece by piece; returns false to stop.
using ByteSink = std::function<bool(QByteArrayView)>;

// Makes a document of the bytes of a file. Valid UTF-8 is taken as it is; anything else is read as
// GB18030 (which contains code page 936 and GB2312) and converted to UTF-8, with the bytes that
// are not valid GB18030 kept unchanged. The result always encodes back to exactly fileBytes; where
// that cannot be guaranteed the answer is nullopt.
std::optional<TextBuffer> decodeFileBytes(QByteArray fileBytes);

// Hands the bytes of document, as stored in the given encoding, to sink. Bytes of the document
// that are not valid UTF-8 are passed through unchanged.
bool encodeDocument(QByteArrayView document, FileEncoding encoding, const ByteSink &sink);
