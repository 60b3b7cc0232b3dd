#pragma once

#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

class CharsetConverter;

// The two-byte characters of a charset such as GB18030, as the converter reads them,
// looked up instead of converted one at a time: most of a Chinese page is made of them, and the
// converter's cost per character is most of the time that decoding one takes. The table is made
// from the converter itself, one call per code, so it says exactly what the converter says.
class TwoByteCharacters {
public:
    // The table of GB18030, made on first use; nullptr where the converter reads ASCII as anything
    // but itself, or cannot be opened.
    static const TwoByteCharacters *gb18030();

    // Decodes [in, end) into out, which has room for twice as many bytes and four more, for as
    // long as the bytes are ASCII, two-byte characters and bytes the converter rejects; answers
    // where it stopped: at end, or at a lead byte that the converter must read itself, one followed
    // by a digit, which may start a four-byte character.
    const char *decode(const char *in, const char *end, char *&out) const;

private:
    enum class Kind : quint8 { Character, Raw, Lead };
    struct Entry {
        char utf8[4] = {};
        quint8 length = 0;    // of utf8
        quint8 consumed = 1;  // bytes of the input
        Kind kind = Kind::Raw;
    };
    static constexpr int kFirstLead = 0x81;
    static constexpr int kLeads = 0xFE - kFirstLead + 1;

    static Entry read(CharsetConverter &converter, const char *bytes, int length);
    static std::optional<TwoByteCharacters> make(const char *charset);
    const char *decodePairs(const char *in, const char *end, char *&out) const;

    std::array<Entry, 256> singles_;
    std::vector<Entry> pairs_;
};
