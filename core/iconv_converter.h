#pragma once

#include <iconv.h>
#include <QByteArrayView>
#include <functional>
#include <span>

// A conversion between two encodings through the system's iconv that never loses a byte: a
// byte the converter rejects (not valid in the source encoding, or a character cut off at the
// end) is passed through unchanged and the conversion goes on behind it. Both encodings must keep
// ASCII as it is and use no byte below 0x30 inside a longer character, as UTF-8 and GB18030 do:
// ASCII is copied without iconv. isSupportedCharset tells which other charsets qualify.
class IconvConverter {
public:
    // Receives converted output; returns false to stop the conversion.
    using Sink = std::function<bool(QByteArrayView)>;

    // Tells which stretches of the input may hold a character that the converter does not give
    // back exactly: one that two byte sequences of the source encoding both stand for, say. Such a
    // stretch is converted a character at a time, and a character that converting back does not
    // turn into the same bytes is passed through unchanged, like a rejected byte. Where it passes
    // through, its bytes must not be able to join their neighbours into another character.
    using NeedsCheck = bool (*)(QByteArrayView stretch);

    // What happens to a well-formed UTF-8 character of the input that the target encoding cannot
    // hold: passed through unchanged like a rejected byte, or the end of the conversion, which
    // then fails and tells where the character is (stoppedAt). The latter is for writing a
    // document, which must never put a character into a file in a foreign encoding.
    enum class Unconvertible { PassThrough, Stop };

    IconvConverter(const char *toEncoding, const char *fromEncoding,
                   NeedsCheck needsCheck = nullptr,
                   Unconvertible unconvertible = Unconvertible::PassThrough);
    ~IconvConverter();
    IconvConverter(const IconvConverter &) = delete;
    IconvConverter &operator=(const IconvConverter &) = delete;

    bool isValid() const { return cd_ != kNone && (!needsCheck_ || back_ != kNone); }

    // Converts all of input. Output is collected in buffer, which is handed to sink whenever it
    // is full and once at the end. Returns false if the sink stopped it or iconv failed.
    bool convert(QByteArrayView input, std::span<char> buffer, const Sink &sink);

    // Where in the input of the last conversion the character that stopped it starts, or -1.
    qsizetype stoppedAt() const { return stoppedAt_; }

private:
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

    iconv_t cd_;
    iconv_t back_;
    NeedsCheck needsCheck_;
    Unconvertible unconvertible_;
    qsizetype stoppedAt_ = -1;
};
