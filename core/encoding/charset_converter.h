#pragma once

#include <string_view>

// The system's converter between two charsets, one direction of it (iconv on Linux): bytes in one
// charset become bytes in the other. Pages are kept byte for byte by what
// core/encoding/converter.cpp builds on these few calls; each platform has its own file of them.
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

    // Converts from the charset named from into the one named to; both are names the system knows.
    CharsetConverter(const char *to, const char *from);
    ~CharsetConverter();
    CharsetConverter(const CharsetConverter &) = delete;
    CharsetConverter &operator=(const CharsetConverter &) = delete;

    // Whether the system knows both charsets and this direction between them.
    bool isOpen() const;

    // Forgets any state that a conversion left, as before the first one.
    void reset();

    // Converts from in towards inEnd into out towards outEnd, moving both on behind what was
    // converted and written. Where it stops short of inEnd, in points at the sequence it stopped
    // at.
    Stop convert(const char *&in, const char *inEnd, char *&out, char *outEnd);

private:
    void *handle_;
};

// The names of the charsets other than UTF-8 and GB18030 that pages can be read and written back
// in byte for byte with the system's converter, in capitals and separated by spaces, as the probe
// in tests/file_encoding_test.cpp found them: a table per system.
std::string_view supportedCharsets();
