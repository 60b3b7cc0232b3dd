#include "core/encoding/two_byte_characters.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/encoding/charset_converter.h"
#include "core/kernels/byte_block.h"

const TwoByteCharacters *TwoByteCharacters::gb18030() {
    static const std::optional<TwoByteCharacters> table = make("GB18030");
    return table ? &*table : nullptr;
}

const char *TwoByteCharacters::decode(const char *in, const char *end, char *&out) const {
    while (in < end) {
        // Runs of ASCII between Chinese words are short: they are copied sixteen bytes at a time
        // as they are scanned, into the room ahead of the output.
        for (; end - in >= byte_block::kSize; in += byte_block::kSize, out += byte_block::kSize) {
            std::memcpy(out, in, byte_block::kSize);
            if (const unsigned others = byte_block::nonAscii(in)) {
                const int ascii = std::countr_zero(others);
                in += ascii;
                out += ascii;
                break;
            }
        }
        while (in < end && static_cast<unsigned char>(*in) < 0x80) *out++ = *in++;
        while (in < end && static_cast<unsigned char>(*in) >= 0x80) {
            in = decodePairs(in, end, out);
            if (in == end || static_cast<unsigned char>(*in) < 0x80) break;
            const auto lead = static_cast<unsigned char>(*in);
            const unsigned trail = in + 1 < end ? static_cast<unsigned char>(in[1]) : 0;
            const Entry &entry = singles_[lead].kind != Kind::Lead
                                     ? singles_[lead]
                                     : pairs_[std::size_t(lead - kFirstLead) * 256 + trail];
            if (entry.kind == Kind::Lead) return in;
            // Four bytes are stored whatever the character's length: fewer branches.
            std::memcpy(out, entry.utf8, sizeof entry.utf8);
            out += entry.length;
            in += entry.consumed;
        }
    }
    return in;
}

// Decodes the two-byte characters from in on, up to anything else, and answers where it
// stopped. Where the next character starts is told from the bytes alone, so that looking up
// one character never waits for the lookup of the one before it.
const char *TwoByteCharacters::decodePairs(const char *in, const char *end, char *&out) const {
    for (; end - in >= 2; in += 2) {
        const auto lead = static_cast<unsigned char>(in[0]);
        const auto trail = static_cast<unsigned char>(in[1]);
        if (lead < kFirstLead || lead >= kFirstLead + kLeads || trail < 0x40) break;
        const Entry &entry = pairs_[std::size_t(lead - kFirstLead) * 256 + trail];
        if (entry.kind != Kind::Character || entry.consumed != 2) break;
        std::memcpy(out, entry.utf8, sizeof entry.utf8);
        out += entry.length;
    }
    return in;
}

// What the converter makes of bytes on their own. A byte it rejects is kept as it is, and it
// goes on behind it.
TwoByteCharacters::Entry TwoByteCharacters::read(CharsetConverter &converter, const char *bytes,
                                                 int length) {
    char utf8[8];
    const char *in = bytes;
    char *out = utf8;
    converter.reset();
    const auto stop = converter.convert(in, bytes + length, out, utf8 + sizeof utf8);
    Entry entry;
    if (stop == CharsetConverter::Stop::Incomplete && in == bytes) {
        entry.kind = Kind::Lead;
    } else if (stop == CharsetConverter::Stop::Done && out - utf8 <= 4) {
        entry.kind = Kind::Character;
        entry.length = quint8(out - utf8);
        entry.consumed = quint8(length);
        std::copy(utf8, out, entry.utf8);
    } else {
        entry.utf8[0] = bytes[0];
        entry.length = 1;
    }
    return entry;
}

std::optional<TwoByteCharacters> TwoByteCharacters::make(const char *charset) {
    CharsetConverter converter("UTF-8", charset);
    if (!converter.isOpen()) return std::nullopt;
    TwoByteCharacters table;
    for (int byte = 0; byte < 256; ++byte) {
        const char c = char(byte);
        table.singles_[byte] = read(converter, &c, 1);
        const Entry &entry = table.singles_[byte];
        const bool ascii = byte < 0x80;
        if (ascii && (entry.kind != Kind::Character || entry.length != 1 || entry.utf8[0] != c))
            return std::nullopt;
        if (entry.kind == Kind::Lead && (byte < kFirstLead || byte >= kFirstLead + kLeads))
            return std::nullopt;
    }
    // A lead byte at the end of the input, or before a byte that ends every character (below
    // 0x30), is rejected: entries of those trail bytes stay Raw.
    table.pairs_.resize(std::size_t(kLeads) * 256);
    for (int lead = kFirstLead; lead < kFirstLead + kLeads; ++lead) {
        if (table.singles_[lead].kind != Kind::Lead) continue;
        for (int trail = 0; trail < 256; ++trail) {
            Entry &entry = table.pairs_[std::size_t(lead - kFirstLead) * 256 + std::size_t(trail)];
            entry.utf8[0] = char(lead);
            entry.length = 1;
            if (trail < 0x30) continue;
            // The start of a four-byte character: the converter's to read.
            if (trail <= '9') {
                entry.kind = Kind::Lead;
                continue;
            }
            const char pair[] = {char(lead), char(trail)};
            entry = read(converter, pair, 2);
            // A lead byte that a trail byte leaves open starts a longer character, which
            // this table does not know.
            if (entry.kind == Kind::Lead) return std::nullopt;
        }
    }
    return table;
}
