#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <optional>

#include "core/text_buffer.h"

// Receives the bytes of a file piece by piece; returns false to stop.
using ByteSink = std::function<bool(QByteArrayView)>;

// Makes the document of a page whose bytes are to be read in encoding: the bytes converted to
// UTF-8, where bytes that are not valid in the encoding are kept unchanged. The result encodes back
// to exactly bytes, whatever they are:
//  - UTF-8 is taken as it is;
//  - GB18030 (which contains code page 936 and GB2312) keeps raw exactly the bytes the converter
//    rejects or does not give back, which can never join their neighbours into valid UTF-8;
//  - any other encoding is converted, and the document checked to encode back to bytes; where
//    it does not, the checked conversion is done a character at a time, keeping raw what does not
//    come back; and where even that does not encode back exactly (bytes kept raw that happen to
//    make valid UTF-8 together), the page is read as one that declares nothing
//    (encodingOfContent), and the document says so in its encoding.
// The answer is nullopt where the system has no GB18030 converter.
std::optional<TextBuffer> decodeFileBytes(QByteArray bytes, const FileEncoding &encoding);

// The document of a page, read in the encoding its bytes call for (chooseFileEncoding). A pure
// function of the bytes: what opening a page and saving it at once does, less the trim.
std::optional<TextBuffer> decodeFileBytes(QByteArray bytes);

// How handing a document to a sink in its encoding ended.
struct EncodeResult {
    enum class Status {
        Done,
        Stopped,      // the sink asked to stop
        Failed,       // the system has no converter for the encoding, or it failed
        Unencodable,  // a character that the encoding cannot hold; unencodableAt tells where
    };
    Status status = Status::Done;
    qsizetype unencodableAt = -1;  // byte offset in the document

    explicit operator bool() const { return status == Status::Done; }
};

// Hands the bytes of document, as stored in the given encoding, to sink. Bytes of the document
// that are not valid UTF-8 are passed through unchanged. A character that the encoding cannot
// hold ends it with Unencodable, so that no file gets a character in a foreign encoding; the
// sink may have had the pieces before it.
EncodeResult encodeDocument(QByteArrayView document, const FileEncoding &encoding,
                            const ByteSink &sink);
