#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "core/encoding/encoding.h"
#include "core/files/file_error.h"

// Makes the document of a page from its trimmed bytes, read as encoding says (see
// choosePageEncoding): the bytes converted to UTF-8, where bytes that are not valid in the encoding
// are kept unchanged. The result encodes back to exactly bytes, whatever they are:
//  - UTF-8 is taken as it is;
//  - GB18030 (which contains code page 936 and GB2312) keeps raw exactly the bytes the converter
//    rejects, which can never join their neighbours into valid UTF-8, and every character it reads
//    comes back as the same bytes;
//  - any other encoding is converted, and the document checked to encode back to bytes; where
//    it does not, the checked conversion is done a character at a time, keeping raw what does not
//    come back; and where even that does not encode back exactly (bytes kept raw that happen to
//    make valid UTF-8 together), the page is read in the fallback, and the document says so in
//    its encoding.
// NoConverter where ICU has no GB18030 converter (its data missing).
Result<TextBuffer> decodePage(QByteArray bytes, const PageEncoding &encoding);

// The bytes of document as stored in the given encoding. Bytes of the document that are not valid
// UTF-8 are passed through unchanged. A character that the encoding cannot hold is an Unencodable
// error that names it and its line, so that no file gets a character in a foreign encoding;
// NoConverter where ICU cannot convert to the encoding at all.
Result<QByteArray> encodeDocument(QByteArrayView document, const FileEncoding &encoding);
