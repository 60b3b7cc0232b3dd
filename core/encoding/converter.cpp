#include "core/encoding/converter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <future>
#include <optional>
#include <thread>
#include <vector>

#include "core/encoding/charset_converter.h"
#include "core/encoding/two_byte_blocks.h"
#include "core/encoding/utf8_check.h"
#include "core/files/page_file.h"
#include "core/kernels/byte_block.h"
#include "core/kernels/kernel_level.h"

namespace {

// Whole blocks of two-byte characters are decoded at once only where the processor gathers many
// table entries in one step; elsewhere no block is taken, and the characters go one at a time.
const char *decodeNoBlocks(const char *in, const char *, char *&, const PackedCharacter *) {
    return in;
}

constexpr Kernel<TwoByteBlocksDecode> kDecodeTwoByteBlocks{
    &decodeNoBlocks, nullptr, ZEREDIZ_X86_64(&decodeTwoByteBlocksWithAvx512)};

// The output of a conversion, which grows whenever it is full.
class Output {
public:
    explicit Output(QByteArray &bytes) : bytes_(bytes), next_(bytes.data()), left_(bytes.size()) {}

    char *&next() { return next_; }
    char *end() { return next_ + left_; }
    // Takes note that the bytes up to next were written.
    void wrote(char *next) {
        left_ -= static_cast<size_t>(next - next_);
        next_ = next;
    }

    // Makes room for more; the longest character any encoding produces fits in what is added.
    void grow() {
        const qsizetype used = next_ - bytes_.data();
        bytes_.resize(std::max<qsizetype>(2 * bytes_.size(), used + 64));
        next_ = bytes_.data() + used;
        left_ = static_cast<size_t>(bytes_.size() - used);
    }

    void append(const char *from, const char *to) {
        while (from < to) {
            if (left_ == 0) grow();
            const size_t n = std::min(left_, static_cast<size_t>(to - from));
            std::memcpy(next_, from, n);
            next_ += n;
            left_ -= n;
            from += n;
        }
    }

    // Cuts the bytes to what was written.
    void finish() { bytes_.truncate(next_ - bytes_.data()); }

private:
    QByteArray &bytes_;
    char *next_;
    size_t left_;
};

// The first byte below 0x30 after p, or end. Neither UTF-8 nor GB18030 uses such a byte inside a
// character of more than one byte, so a character always ends before it.
const char *nextBoundary(const char *p, const char *end) {
    return std::find_if(p + 1, end, [](char c) { return static_cast<unsigned char>(c) < 0x30; });
}

// The converter is given at most this much input per call. Checking tools (AddressSanitizer and
// ThreadSanitizer) look at all the input a call is given, and a run of rejected bytes restarts
// the converter once per byte: unbounded, a page of stray bytes takes minutes to hours under them.
constexpr size_t kMostInputPerCall = 4096;

// How a piece of the input did not convert.
enum class PieceFailure { None, ConverterFailed, Unconvertible };

// Converts all of [in, end), passing each byte the converter rejects through unchanged. Where
// stopAtUnconvertible, the input is UTF-8, and a well-formed character that the converter rejects
// is one the target encoding cannot hold: the conversion stops there and unconvertible points at
// it.
PieceFailure convertPiece(CharsetConverter &converter, const char *in, const char *end,
                          Output &output, bool stopAtUnconvertible, const char *&unconvertible) {
    using Stop = CharsetConverter::Stop;
    const char *next = in;
    while (next < end) {
        const char *const windowEnd =
            next + std::min(static_cast<size_t>(end - next), kMostInputPerCall);
        const bool last = windowEnd == end;
        char *out = output.next();
        const Stop stop = converter.convert(next, windowEnd, out, output.end());
        output.wrote(out);
        switch (stop) {
            case Stop::Done:
                break;
            case Stop::OutputFull:
                output.grow();
                break;
            case Stop::Invalid:
            case Stop::Incomplete:
                // Some of glibc's converters (UHC, for one) swallow the bytes they reject; the
                // bytes are lost then, and this converter is not one to use.
                if (next == windowEnd) return PieceFailure::ConverterFailed;
                // A character cut off by the end of the window starts the next one, whole.
                if (stop == Stop::Incomplete && !last) break;
                if (stop == Stop::Invalid && stopAtUnconvertible &&
                    utf8SequenceLength(next, end) > 0) {
                    unconvertible = next;
                    return PieceFailure::Unconvertible;
                }
                output.append(next, next + 1);
                ++next;
                break;
            case Stop::Failed:
                return PieceFailure::ConverterFailed;
        }
    }
    return PieceFailure::None;
}

// Whether back turns the character decoded from [in, in + length) into those bytes again.
bool comesBack(CharsetConverter &back, const char *in, size_t length, const char *decoded,
               size_t produced) {
    char again[16];
    char *to = again;
    back.reset();
    const char *from = decoded;
    if (back.convert(from, decoded + produced, to, again + sizeof again) !=
        CharsetConverter::Stop::Done)
        return false;
    return static_cast<size_t>(to - again) == length && std::memcmp(again, in, length) == 0;
}

// Converts [in, end) a character at a time, a character being the fewest bytes that the converter
// converts. One that back does not turn into the same bytes again is passed through unchanged,
// as a rejected byte is.
void convertCheckedPiece(CharsetConverter &converter, CharsetConverter &back, const char *in,
                         const char *end, Output &output) {
    constexpr size_t kLongestCharacter = 4;
    while (in < end) {
        char decoded[16];
        size_t produced = 0;
        size_t length = 0;
        const size_t most = std::min(kLongestCharacter, static_cast<size_t>(end - in));
        for (size_t n = 1; n <= most; ++n) {
            const char *from = in;
            char *to = decoded;
            const CharsetConverter::Stop stop =
                converter.convert(from, in + n, to, decoded + sizeof decoded);
            if (stop == CharsetConverter::Stop::Done) {
                length = n;
                produced = static_cast<size_t>(to - decoded);
                break;
            }
            // Not a character: the first byte goes through as it is.
            if (stop != CharsetConverter::Stop::Incomplete) break;
        }
        const bool exact = length > 0 && comesBack(back, in, length, decoded, produced);
        if (length == 0) length = 1;
        if (exact)
            output.append(decoded, decoded + produced);
        else
            output.append(in, in + length);
        in += length;
    }
}

// The line that offset lies on, counted from 1 the way the text area shows lines: CR LF, CR and
// LF each end one.
qsizetype lineOf(QByteArrayView document, qsizetype offset) {
    qsizetype line = 1;
    for (qsizetype i = 0; i < offset; ++i) {
        if (document[i] == '\r') {
            ++line;
            if (i + 1 < offset && document[i + 1] == '\n') ++i;
        } else if (document[i] == '\n') {
            ++line;
        }
    }
    return line;
}

// The error for a character of document, at offset, that encoding cannot hold.
FileError unencodableError(QByteArrayView document, qsizetype at, const char *encoding) {
    const int length = utf8SequenceLength(document.data() + at, document.data() + document.size());
    FileError error{FileError::Kind::Unencodable, {}};
    error.character = QString::fromUtf8(document.sliced(at, length));
    error.line = lineOf(document, at);
    error.encoding = QString::fromLatin1(encoding);
    return error;
}

// The two-byte characters of a charset such as GB18030, as the system's converter reads them,
// looked up instead of converted one at a time: most of a Chinese page is made of them, and the
// converter's cost per character is most of the time that decoding one takes. The table is made
// from the converter itself, one call per code, so it says exactly what the converter says.
class TwoByteCharacters {
public:
    // The table of the charset, made on first use; nullptr where the converter reads ASCII as
    // anything but itself, or cannot be opened.
    static const TwoByteCharacters *gb18030() {
        static const std::optional<TwoByteCharacters> table = make("GB18030");
        return table ? &*table : nullptr;
    }

    // Decodes [in, end) into out, which has room for twice as many bytes and four more, for as
    // long as the bytes are ASCII, two-byte characters and bytes the converter rejects; answers
    // where it stopped: at end, or at a lead byte that the converter must read itself, one followed
    // by a digit, which may start a four-byte character.
    const char *decode(const char *in, const char *end, char *&out) const {
        while (in < end) {
            in = kDecodeTwoByteBlocks.chosen()(in, end, out, packed_.data());
            if (in == end) break;
            // What the blocks do not take goes a character at a time, a block's worth at least.
            if (!decodeCharacters(in, end, end - in > kBlockWorth ? in + kBlockWorth : end, out))
                break;
        }
        return in;
    }

private:
    // Decodes from in on up to to or behind it, where a character starts; answers false where it
    // stopped before, at a lead byte that the converter must read itself.
    bool decodeCharacters(const char *&in, const char *end, const char *to, char *&out) const {
        while (in < to) {
            // Runs of ASCII between Chinese words are short: they are copied sixteen bytes at a
            // time as they are scanned, into the room ahead of the output.
            for (; end - in >= byte_block::kSize;
                 in += byte_block::kSize, out += byte_block::kSize) {
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
                if (entry.kind == Kind::Lead) return false;
                // Four bytes are stored whatever the character's length: fewer branches.
                std::memcpy(out, entry.utf8, sizeof entry.utf8);
                out += entry.length;
                in += entry.consumed;
            }
        }
        return true;
    }

    // Decodes the two-byte characters from in on, up to anything else, and answers where it
    // stopped. Where the next character starts is told from the bytes alone, so that looking up
    // one character never waits for the lookup of the one before it.
    const char *decodePairs(const char *in, const char *end, char *&out) const {
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

    enum class Kind : quint8 { Character, Raw, Lead };
    struct Entry {
        char utf8[4] = {};
        quint8 length = 0;    // of utf8
        quint8 consumed = 1;  // bytes of the input
        Kind kind = Kind::Raw;
    };
    static constexpr int kFirstLead = kTwoByteFirstLead;
    static constexpr int kLeads = 0xFE - kFirstLead + 1;
    static constexpr qsizetype kBlockWorth = 64;

    // What the converter makes of bytes on their own. A byte it rejects is kept as it is, and it
    // goes on behind it.
    static Entry read(CharsetConverter &converter, const char *bytes, int length) {
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

    static std::optional<TwoByteCharacters> make(const char *charset) {
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
                Entry &entry =
                    table.pairs_[std::size_t(lead - kFirstLead) * 256 + std::size_t(trail)];
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
        table.packed_ = packed(table.pairs_);
        return table;
    }

    // The characters that blocks decode themselves, from pairs_.
    static std::vector<PackedCharacter> packed(const std::vector<Entry> &pairs) {
        std::vector<PackedCharacter> packed(pairs.size(), 0);
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const Entry &entry = pairs[i];
            if (entry.kind != Kind::Character || entry.consumed != 2 || entry.length > 3) continue;
            packed[i] = PackedCharacter{entry.length} << 24;
            for (int byte = 0; byte < entry.length; ++byte)
                packed[i] |= PackedCharacter{static_cast<unsigned char>(entry.utf8[byte])}
                             << (8 * byte);
        }
        return packed;
    }

    std::array<Entry, 256> singles_;
    std::vector<Entry> pairs_;
    std::vector<PackedCharacter> packed_;
};

// A conversion between two encodings through the system's converter that never loses a byte: a
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
          back_(fromEncoding, toEncoding),
          needsCheck_(needsCheck),
          unconvertible_(unconvertible),
          toEncoding_(toEncoding) {}

    // Decodes the two-byte characters that table holds by looking them up; the converter reads
    // only what the table leaves to it.
    void lookUpIn(const TwoByteCharacters *table) { table_ = table; }

    // Converts all of input into output, which grows where its size does not suffice and is cut
    // to the result's end.
    Result<Done> convert(QByteArrayView input, QByteArray &output) {
        if (!converter_.isOpen() || (needsCheck_ && !back_.isOpen()))
            return FileError{FileError::Kind::NoConverter, {}};
        converter_.reset();
        if (output.size() < 64) output.resize(64);
        Output out(output);

        // The converter costs much per character, and most of a page is ASCII, which both
        // encodings keep as it is. So ASCII is copied, and the converter gets only the stretches
        // from a byte that is not ASCII to the next byte that no character of more than one byte
        // contains. A rejected byte is passed through and the conversion goes on behind it, so
        // cutting there changes nothing.
        const char *p = input.data();
        const char *const end = p + input.size();
        while (p < end) {
            // The table, where there is one, reads up to a character it does not know.
            const char *const other = table_ ? lookUp(p, end, out) : byte_block::skipAscii(p, end);
            if (!table_) out.append(p, other);
            if (other == end) break;
            p = nextBoundary(other, end);
            if (needsCheck_ && needsCheck_(QByteArrayView(other, p))) {
                convertCheckedPiece(converter_, back_, other, p, out);
                continue;
            }
            const char *unconvertible = nullptr;
            switch (convertPiece(converter_, other, p, out, unconvertible_ == Unconvertible::Stop,
                                 unconvertible)) {
                case PieceFailure::None:
                    break;
                case PieceFailure::ConverterFailed:
                    return FileError{FileError::Kind::NoConverter, {}};
                case PieceFailure::Unconvertible:
                    return unencodableError(input, unconvertible - input.data(), toEncoding_);
            }
        }
        out.finish();
        return Done{};
    }

private:
    // Decodes [in, end) as far as the table reads it, and answers where it stopped. A character of
    // two bytes never becomes more than four bytes of UTF-8.
    const char *lookUp(const char *in, const char *end, Output &out) {
        while (out.end() - out.next() < 2 * (end - in) + 4) out.grow();
        char *next = out.next();
        const char *const stopped = table_->decode(in, end, next);
        out.wrote(next);
        return stopped;
    }

    CharsetConverter converter_;
    CharsetConverter back_;
    NeedsCheck needsCheck_;
    Unconvertible unconvertible_;
    const char *toEncoding_;
    const TwoByteCharacters *table_ = nullptr;
};

// glibc decodes each of the four-byte sequences 95 32 90 31, 95 32 90 33, 95 32 97 30,
// 95 36 B9 37, 96 30 BA 35 and 96 35 B6 30 to the character that the two-byte codes FE 51, FE 52,
// FE 53, FE 6C, FE 76 and FE 91 stand for, and encodes that character back as the two-byte code.
// (ICU gives each of them back as itself, so there the check only costs a little time.)
// Every two-byte code comes back as itself (the tests go through all of them), so only stretches
// that may hold a four-byte sequence are checked: a byte from 0x81 up, a digit, a byte from 0x81
// up and a digit. Two-byte characters never make that pattern, whatever digits stand between
// them, since no trail byte is a digit. A sequence kept raw cannot join its neighbours into
// valid UTF-8, because its second and fourth bytes are ASCII.
bool mayHoldFourByteSequence(QByteArrayView stretch) {
    const auto high = [&](qsizetype i) { return static_cast<unsigned char>(stretch[i]) >= 0x81; };
    const auto digit = [&](qsizetype i) {
        return static_cast<unsigned char>(stretch[i] - '0') <= 9;
    };
    for (qsizetype i = 3; i < stretch.size(); ++i) {
        if (digit(i) && high(i - 1) && digit(i - 2) && high(i - 3)) return true;
    }
    return false;
}

// The whole input in one pass. A two-byte code may stand for a character beyond the BMP,
// four bytes in UTF-8; nothing grows more than that, so twice the input always suffices. Pages
// of it that are never written cost address space only. With room given, the result keeps room
// for that many bytes, for more to be put behind it.
Result<QByteArray> decodeGb18030AtOnce(QByteArrayView gb, qsizetype room = 0) {
    PageConverter toUtf8("UTF-8", "GB18030", mayHoldFourByteSequence);
    // Making the table takes a call of the converter for each two-byte code: worth it only for a
    // page far larger than that.
    constexpr qsizetype kTableFrom = qsizetype{64} << 10;
    if (gb.size() >= kTableFrom) toUtf8.lookUpIn(TwoByteCharacters::gb18030());
    QByteArray utf8(std::max(room, 2 * gb.size() + 16), Qt::Uninitialized);
    const Result<Done> converted = toUtf8.convert(gb, utf8);
    if (const auto *error = std::get_if<FileError>(&converted)) return *error;
    if (room == 0) utf8.squeeze();
    return utf8;
}

// Below this size a page is decoded in one piece on one core.
constexpr qsizetype kWorthACut = qsizetype{4} << 20;

// Where a big input is cut in two: just behind the first line end (CR or LF) from its middle on,
// or 0 for no cut. No character of more than one byte contains a CR or a LF, in GB18030 or in
// UTF-8, so both halves convert exactly as the whole does.
qsizetype halfwayCut(QByteArrayView gb) {
    if (gb.size() < kWorthACut) return 0;
    const char *const end = gb.data() + gb.size();
    const char *const lineEnd =
        std::find_if(gb.data() + gb.size() / 2, end, [](char c) { return c == '\r' || c == '\n'; });
    return lineEnd < end ? lineEnd - gb.data() + 1 : 0;
}

// Puts tail behind the text of whole, which was made with room for it.
void putBehind(QByteArray &whole, QByteArrayView tail) {
    const qsizetype length = whole.size();
    whole.resize(length + tail.size());
    copyOnTwoCores(whole.data() + length, tail.data(), tail.size());
}

// The converter is by far the slowest step of opening a big GB18030 page, so the two halves of the
// page are decoded on two cores at once. The first half's result has room for the second's, which
// is then copied behind it: growing a buffer of this size would copy it once more.
Result<QByteArray> decodeGb18030(QByteArrayView gb, qsizetype roomBehind = 0) {
    const qsizetype cut = halfwayCut(gb);
    if (cut == 0)
        return decodeGb18030AtOnce(gb, roomBehind > 0 ? 2 * gb.size() + 16 + roomBehind : 0);
    // Where no thread can be had, the second half is decoded when get() asks for it.
    auto second = std::async(std::launch::async | std::launch::deferred,
                             [gb, cut] { return decodeGb18030AtOnce(gb.sliced(cut)); });
    auto first = decodeGb18030AtOnce(gb.first(cut), 2 * gb.size() + 16 + roomBehind);
    auto rest = second.get();
    if (const auto *error = std::get_if<FileError>(&first)) return *error;
    if (const auto *error = std::get_if<FileError>(&rest)) return *error;
    QByteArray &whole = std::get<QByteArray>(first);
    putBehind(whole, std::get<QByteArray>(rest));
    if (roomBehind == 0) whole.squeeze();
    return std::move(whole);
}

// A big GB18030 page decoded in the buffer it was read into, which its trim left with room behind
// its bytes, so that the UTF-8 text needs no fresh memory, whose every page the system would clear
// first. The page is cut into stretches, each ending before a byte below 0x30, which no character
// contains, and decoded from its last stretch back to its first by two threads at once: each
// decodes a stretch into a buffer of its own that stays in the cache, and puts the result in
// front of the results behind it once those are in place, ending at the buffer's end. A result
// may stand only over bytes already decoded; where it would reach further, the rest is decoded
// into fresh memory after all.
class DecodeInPlace {
public:
    // The page's size bytes at page, in a buffer of capacity bytes.
    DecodeInPlace(char *page, qsizetype size, qsizetype capacity)
        : page_(page), placed_(page + capacity) {
        // A stretch starts at the first byte below 0x30 from its place on, looked for no further
        // than the next place: where there is none, it starts where the one before it does, and
        // that one grows.
        const char *const end = page + size;
        starts_.push_back(page);
        for (const char *place = page + kStretch; place < end; place += kStretch) {
            const char *const from = std::max(place, starts_.back());
            const char *const to = end - from > kStretch ? from + kStretch : end;
            const char *const start =
                std::find_if(from, to, [](char c) { return static_cast<unsigned char>(c) < 0x30; });
            starts_.push_back(start < to ? start : starts_.back());
        }
        starts_.push_back(end);
        next_ = stretches() - 1;
        done_ = stretches();
    }

    // Decodes stretches until none is left or one finds no room; each thread runs this once.
    void work() {
        // Made before any stretch is taken, so that a failure leaves no turn unserved.
        PageConverter toUtf8("UTF-8", "GB18030", mayHoldFourByteSequence);
        toUtf8.lookUpIn(TwoByteCharacters::gb18030());
        // A stretch reaches a little past its place, to the next byte below 0x30; one that reaches
        // as far again is left to be decoded elsewhere.
        QByteArray own(4 * kStretch + 64, Qt::Uninitialized);
        for (qsizetype index; !stopped_ && (index = next_--) >= 0;) {
            const char *const from = boundary(index);
            const qsizetype length = boundary(index + 1) - from;
            // A stretch whose next byte below 0x30 lies far behind its place.
            bool failed = 2 * length + 64 > own.capacity();
            if (!failed) {
                own.resize(own.capacity());
                failed = ::failed(toUtf8.convert(QByteArrayView(from, length), own));
            }
            waitForTurn(index);
            if (stopped_) break;  // the stretches behind this one found no room
            if (!failed && placed_ - own.size() >= from) {
                placed_ -= own.size();
                std::memcpy(placed_, own.constData(), std::size_t(own.size()));
                done_.store(index, std::memory_order_release);
            } else {
                stopped_ = true;
            }
        }
    }

    // Once every thread is done: the page's bytes before the stretches in place, still to be
    // decoded, and where their results start.
    QByteArrayView rest() const {
        return {page_, boundary(done_.load(std::memory_order_acquire)) - page_};
    }
    char *placed() const { return placed_; }

private:
    static constexpr qsizetype kStretch = qsizetype{512} << 10;

    qsizetype stretches() const { return qsizetype(starts_.size()) - 1; }
    // Where stretch index starts; stretch stretches() is the page's end.
    const char *boundary(qsizetype index) const { return starts_[std::size_t(index)]; }

    // The stretches behind index are put in place by the other thread, which takes a fraction of
    // a millisecond: sleeping and being woken would take longer than that.
    void waitForTurn(qsizetype index) const {
        while (!stopped_ && done_.load(std::memory_order_acquire) != index + 1)
            std::this_thread::yield();
    }

    char *const page_;
    std::vector<const char *> starts_;  // of the stretches, and the page's end
    // Written only by the thread whose turn it is: where the results in place start.
    char *placed_;
    std::atomic<qsizetype> next_ = 0;  // the stretch to take next, counting down
    std::atomic<qsizetype> done_ = 0;  // the first stretch whose result is in place
    std::atomic<bool> stopped_ = false;
};

// Decodes a big GB18030 page in its own buffer where there is room, as DecodeInPlace says; what
// found no room is decoded as decodeGb18030 does, and the results in place go behind it.
Result<QByteArray> decodeGb18030InPlace(QByteArray page) {
    if (page.size() < kWorthACut || !page.isDetached()) return decodeGb18030(page);
    const qsizetype size = page.size();
    const qsizetype capacity = page.capacity();
    page.resize(capacity);  // within its room: the results are put up to its end
    DecodeInPlace decode(page.data(), size, capacity);
    // Where no thread can be had, the second one finds nothing left when get() asks for it.
    auto second = std::async(std::launch::async | std::launch::deferred, [&] { decode.work(); });
    decode.work();
    second.get();
    const qsizetype placed = decode.placed() - page.constData();
    const QByteArrayView rest = decode.rest();
    if (rest.isEmpty()) {
        // The front of the buffer is free now: its pages go back to the system.
        releasePages(page.data(), placed);
        page.remove(0, placed);
        return page;
    }
    auto head = decodeGb18030(rest, capacity - placed);
    if (const auto *error = std::get_if<FileError>(&head)) return *error;
    QByteArray &whole = std::get<QByteArray>(head);
    putBehind(whole, QByteArrayView(page).sliced(placed));
    whole.squeeze();
    return std::move(whole);
}

bool everyStretch(QByteArrayView) {
    return true;
}

// Converts a page in an encoding other than UTF-8 and GB18030, whole or, with needsCheck, a
// character at a time with those that do not come back kept raw.
std::optional<QByteArray> decodeOther(QByteArrayView bytes, const FileEncoding &encoding,
                                      PageConverter::NeedsCheck needsCheck) {
    PageConverter toUtf8("UTF-8", encoding.name(), needsCheck);
    QByteArray utf8(bytes.size() + bytes.size() / 2 + 16, Qt::Uninitialized);
    if (failed(toUtf8.convert(bytes, utf8))) return std::nullopt;
    return utf8;
}

// Raw bytes of an encoding other than UTF-8 and GB18030 may happen to make valid UTF-8 together,
// which would then be written as a character: so the document is checked to encode back.
std::optional<QByteArray> decodeOtherExactly(QByteArrayView bytes, const FileEncoding &encoding) {
    for (const PageConverter::NeedsCheck needsCheck :
         {PageConverter::NeedsCheck{nullptr}, PageConverter::NeedsCheck{everyStretch}}) {
        auto utf8 = decodeOther(bytes, encoding, needsCheck);
        if (!utf8) continue;
        const auto back = encodeDocument(*utf8, encoding);
        if (const auto *stored = std::get_if<QByteArray>(&back); stored && *stored == bytes)
            return utf8;
    }
    return std::nullopt;
}

}  // namespace

Result<TextBuffer> decodePage(QByteArray bytes, const PageEncoding &encoding) {
    const FileEncoding &chosen = encoding.encoding;
    if (chosen == FileEncoding::Utf8) return TextBuffer{std::move(bytes), FileEncoding::Utf8};
    if (chosen == FileEncoding::Gb18030) {
        auto utf8 = decodeGb18030InPlace(std::move(bytes));
        if (const auto *error = std::get_if<FileError>(&utf8)) return *error;
        return TextBuffer{std::get<QByteArray>(std::move(utf8)), FileEncoding::Gb18030};
    }
    // Any other charset is one that pages can be kept in (see isSupportedCharset), unless its
    // raw bytes make UTF-8 together; then the fallback is one of the two above, in which every
    // page comes back.
    if (auto utf8 = decodeOtherExactly(bytes, chosen)) return TextBuffer{std::move(*utf8), chosen};
    return decodePage(std::move(bytes), {encoding.fallback, FileEncoding::Gb18030});
}

Result<QByteArray> encodeDocument(QByteArrayView document, const FileEncoding &encoding) {
    if (encoding == FileEncoding::Utf8) return document.toByteArray();
    PageConverter toFile(encoding.name(), "UTF-8", nullptr, PageConverter::Unconvertible::Stop);
    QByteArray bytes(document.size() + 16, Qt::Uninitialized);
    const Result<Done> converted = toFile.convert(document, bytes);
    if (const auto *error = std::get_if<FileError>(&converted)) return *error;
    return bytes;
}
