#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

#include "core/encoding/charset_converter.h"
#include "core/files/file_error.h"

class TwoByteCharacters;

// A conversion between two encodings through ICU's converter that never loses a byte: a
// byte the converter rejects (not valid in the source encoding, or a character cut off at the
// end) is passed through unchanged and the conversion goes on behind it. Both encodings must keep
// ASCII as it is and use no byte below 0x30 inside a longer character, as UTF-8 and GB18030 do:
// ASCII is copied without the converter. isSupportedCharset tells which other charsets qualify.
class PageConverter {
public:
    // Tells which stretches of the input may hold a character that the converter does not give
    // back exactly: one that two byte sequences of the source encoding both stand for, say. Such a
    // stretch is converted a character at a time, and a character that converting back does not
    // turn into the same bytes is passed through unchanged, like a rejected byte. Where it passes
    // through, its bytes must not be able to join their neighbours into another character.
    using NeedsCheck = bool (*)(QByteArrayView stretch);

    // What happens to a well-formed UTF-8 character of the input that the target encoding cannot
    // hold: passed through unchanged like a rejected byte, or the end of the conversion with an
    // Unencodable error. The latter is for writing a document, which must never put a character
    // into a file in a foreign encoding.
    enum class Unconvertible { PassThrough, Stop };

    PageConverter(const char *toEncoding, const char *fromEncoding, NeedsCheck needsCheck = nullptr,
                  Unconvertible unconvertible = Unconvertible::PassThrough)
        : converter_(toEncoding, fromEncoding),
          needsCheck_(needsCheck),
          unconvertible_(unconvertible),
          toEncoding_(toEncoding) {
        if (needsCheck_) back_.emplace(fromEncoding, toEncoding);
    }

    // Decodes the two-byte characters that table holds by looking them up; the converter reads
    // only what the table leaves to it.
    void lookUpIn(const TwoByteCharacters *table) { table_ = table; }

    // Converts all of input into output, which grows where its size does not suffice and is cut
    // to the result's end.
    Result<Done> convert(QByteArrayView input, QByteArray &output);

private:
    CharsetConverter converter_;
    // The way back, which only a check needs.
    std::optional<CharsetConverter> back_;
    NeedsCheck needsCheck_;
    Unconvertible unconvertible_;
    const char *toEncoding_;
    const TwoByteCharacters *table_ = nullptr;
};
