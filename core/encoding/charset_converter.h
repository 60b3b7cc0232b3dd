#pragma once

#include <memory>
#include <string_view>

// One direction of a conversion between a charset and UTF-8, on ICU, the same on every system:
// bytes in one become bytes in the other. Pages are kept byte for byte by what
// core/encoding/converter.cpp builds on these few calls, which stop where a character does.
class CharsetConverter {
public:
    // Why a conversion stopped.
    enum class Stop {
        Done,        // all of the input is converted
        Invalid,     // at a sequence the source charset does not have or the target cannot hold
        Incomplete,  // at a character cut off by the end of the input
        OutputFull,  // the output has no room for the next character
        Failed,      // anything else
    };

    // Converts from the charset named from into the one named to, by ICU's names for them; one
    // of the two is UTF-8.
    CharsetConverter(const char *to, const char *from);
    ~CharsetConverter();
    CharsetConverter(const CharsetConverter &) = delete;
    CharsetConverter &operator=(const CharsetConverter &) = delete;

    // Whether ICU knows both charsets and one of them is UTF-8.
    bool isOpen() const;

    // Forgets any state that a conversion left, as before the first one.
    void reset();

    // Converts from in towards inEnd into out towards outEnd, moving both on behind what was
    // converted and written. Where it stops short of inEnd, in points at the sequence it stopped
    // at, and out ends behind the last whole character written.
    Stop convert(const char *&in, const char *inEnd, char *&out, char *outEnd);

private:
    class Conversion;
    std::unique_ptr<Conversion> conversion_;
};

// The names of the charsets other than UTF-8 and GB18030 that pages can be read and written back
// in byte for byte, in capitals and separated by spaces, as the probe in
// tests/file_encoding_test.cpp found them in ICU: its names, and the other spellings it takes
// for them.
std::string_view supportedCharsets();
