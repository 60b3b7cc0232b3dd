#include "core/encoding/page_converter.h"

#include <algorithm>
#include <cstring>

#include "core/encoding/two_byte_characters.h"
#include "core/encoding/utf8_check.h"
#include "core/kernels/byte_block.h"

namespace {

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
                // A stop behind all of the window names no byte that it stopped at: the bytes it
                // rejected would be lost, and this converter is not one to use.
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

// Decodes [in, end) as far as the table reads it, and answers where it stopped. A character of
// two bytes never becomes more than four bytes of UTF-8.
const char *lookUp(const TwoByteCharacters &table, const char *in, const char *end, Output &out) {
    while (out.end() - out.next() < 2 * (end - in) + 4) out.grow();
    char *next = out.next();
    const char *const stopped = table.decode(in, end, next);
    out.wrote(next);
    return stopped;
}

}  // namespace

Result<Done> PageConverter::convert(QByteArrayView input, QByteArray &output) {
    if (!converter_.isOpen() || (back_ && !back_->isOpen()))
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
        const char *const other =
            table_ ? lookUp(*table_, p, end, out) : byte_block::skipAscii(p, end);
        if (!table_) out.append(p, other);
        if (other == end) break;
        p = nextBoundary(other, end);
        if (needsCheck_ && needsCheck_(QByteArrayView(other, p))) {
            convertCheckedPiece(converter_, *back_, other, p, out);
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
