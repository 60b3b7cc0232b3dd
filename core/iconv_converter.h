#pragma once

#include <iconv.h>
#include <QByteArrayView>
#include <functional>
#include <span>

// A conversion between two encodings through the system's iconv that never loses a byte: a
// byte the converter rejects (not valid in the source encoding, or a character cut off at the
// end) is passed through unchanged and the conversion goes on behind it. Both encodings must keep
// ASCII as it is and use no byte below 0x30 inside a longer character, as UTF-8 and GB18030 do:
// ASCII is copied without iconv.
class IconvConverter {
public:
    // Receives converted output; returns false to stop the conversion.
    using Sink = std::function<bool(QByteArrayView)>;

    IconvConverter(const char *toEncoding, const char *fromEncoding);
    ~IconvConverter();
    IconvConverter(const IconvConverter &) = delete;
    IconvConverter &operator=(const IconvConverter &) = delete;

    bool isValid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input. Output is collected in buffer, which is handed to sink whenever it
    // is full and once at the end. Returns false if the sink stopped it or iconv failed.
    bool convert(QByteArrayView input, std::span<char> buffer, const Sink &sink);

private:
    iconv_t cd_;
};
