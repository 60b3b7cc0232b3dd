#include "core/iconv_converter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/byte_block.h"
#include "core/utf8_check.h"

namespace {

// The output of one conversion: a buffer that is handed to the sink whenever it is full.
class Output {
public:
    Output(std::span<char> buffer, const IconvConverter::Sink &sink)
        : buffer_(buffer), sink_(sink), next_(buffer.data()), left_(buffer.size()) {}

    char **next() { return &next_; }
    size_t *left() { return &left_; }

    bool flush() {
        const bool go = sink_(QByteArrayView(buffer_.data(), next_ - buffer_.data()));
        next_ = buffer_.data();
        left_ = buffer_.size();
        return go;
    }

    bool append(const char *from, const char *to) {
        while (from < to) {
            if (left_ == 0 && !flush()) return false;
            const size_t n = std::min(left_, static_cast<size_t>(to - from));
            std::memcpy(next_, from, n);
            next_ += n;
            left_ -= n;
            from += n;
        }
        return true;
    }

private:
    std::span<char> buffer_;
    const IconvConverter::Sink &sink_;
    char *next_;
    size_t left_;
};

// The first byte below 0x30 after p, or end. Neither UTF-8 nor GB18030 uses such a byte inside a
// character of more than one byte, so a character always ends before it.
const char *nextBoundary(const char *p, const char *end) {
    return std::find_if(p + 1, end, [](char c) { return static_cast<unsigned char>(c) < 0x30; });
}

// iconv is given at most this much input per call. Checking tools (AddressSanitizer and
// ThreadSanitizer) look at all the input a call is given, and a run of rejected bytes restarts
// iconv once per byte: unbounded, a page of stray bytes takes minutes to hours under them.
constexpr size_t kMostInputPerCall = 4096;

// Converts all of [in, end) with iconv, passing each byte it rejects through unchanged. Where
// unconvertible is given, the input is UTF-8, and a well-formed character that iconv rejects is
// one the target encoding cannot hold: the conversion stops there and unconvertible points at it.
bool convertPiece(iconv_t cd, const char *in, const char *end, Output &output,
                  const char **unconvertible) {
    char *next = const_cast<char *>(in);
    while (next < end) {
        const size_t window = std::min(static_cast<size_t>(end - next), kMostInputPerCall);
        const bool last = next + window == end;
        size_t left = window;
        if (iconv(cd, &next, &left, output.next(), output.left()) != static_cast<size_t>(-1))
            continue;
        switch (errno) {
            case E2BIG:
                if (!output.flush()) return false;
                break;
            case EILSEQ:
            case EINVAL:
                // Some of glibc's converters (UHC, for one) swallow the bytes they reject; the
                // bytes are lost then, and this converter is not one to use.
                if (left == 0) return false;
                // A character cut off by the end of the window starts the next one, whole.
                if (errno == EINVAL && !last) break;
                if (errno == EILSEQ && unconvertible && utf8SequenceLength(next, end) > 0) {
                    *unconvertible = next;
                    return false;
                }
                if (!output.append(next, next + 1)) return false;
                ++next;
                break;
            default:
                return false;
        }
    }
    return true;
}

// Whether back turns the character decoded from [in, in + length) into those bytes again.
bool comesBack(iconv_t back, const char *in, size_t length, char *decoded, size_t produced) {
    char again[16];
    char *to = again;
    size_t toLeft = sizeof again;
    iconv(back, nullptr, nullptr, nullptr, nullptr);
    if (iconv(back, &decoded, &produced, &to, &toLeft) == static_cast<size_t>(-1)) return false;
    return static_cast<size_t>(to - again) == length && std::memcmp(again, in, length) == 0;
}

// Converts [in, end) a character at a time, a character being the fewest bytes that iconv
// converts. One that back does not turn into the same bytes again is passed through unchanged,
// as a rejected byte is.
bool convertCheckedPiece(iconv_t cd, iconv_t back, const char *in, const char *end,
                         Output &output) {
    constexpr size_t kLongestCharacter = 4;
    while (in < end) {
        char decoded[16];
        size_t produced = 0;
        size_t length = 0;
        const size_t most = std::min(kLongestCharacter, static_cast<size_t>(end - in));
        for (size_t n = 1; n <= most; ++n) {
            char *from = const_cast<char *>(in);
            size_t fromLeft = n;
            char *to = decoded;
            size_t toLeft = sizeof decoded;
            if (iconv(cd, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1)) {
                length = n;
                produced = to - decoded;
                break;
            }
            if (errno != EINVAL) break;  // not a character: the first byte goes through as it is
        }
        const bool exact = length > 0 && comesBack(back, in, length, decoded, produced);
        if (length == 0) length = 1;
        if (!(exact ? output.append(decoded, decoded + produced) : output.append(in, in + length)))
            return false;
        in += length;
    }
    return true;
}

}  // namespace

IconvConverter::IconvConverter(const char *toEncoding, const char *fromEncoding,
                               NeedsCheck needsCheck, Unconvertible unconvertible)
    : cd_(iconv_open(toEncoding, fromEncoding)),
      back_(needsCheck ? iconv_open(fromEncoding, toEncoding) : kNone),
      needsCheck_(needsCheck),
      unconvertible_(unconvertible) {}

IconvConverter::~IconvConverter() {
    if (cd_ != kNone) iconv_close(cd_);
    if (back_ != kNone) iconv_close(back_);
}

bool IconvConverter::convert(QByteArrayView input, std::span<char> buffer, const Sink &sink) {
    // Room for the longest character any encoding produces, so that E2BIG always makes progress.
    stoppedAt_ = -1;
    if (!isValid() || buffer.size() < 16) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    Output output(buffer, sink);

    // iconv costs much per character, and most of a page is ASCII, which both encodings keep as it
    // is. So ASCII is copied, and iconv gets only the stretches from a byte that is not ASCII to
    // the next byte that no character of more than one byte contains. A rejected byte is passed
    // through and the conversion goes on behind it, so cutting there changes nothing.
    const char *p = input.data();
    const char *const end = p + input.size();
    while (p < end) {
        const char *const other = byte_block::skipAscii(p, end);
        if (!output.append(p, other)) return false;
        if (other == end) break;
        p = nextBoundary(other, end);
        const char *unconvertible = nullptr;
        const bool converted =
            needsCheck_ && needsCheck_(QByteArrayView(other, p))
                ? convertCheckedPiece(cd_, back_, other, p, output)
                : convertPiece(cd_, other, p, output,
                               unconvertible_ == Unconvertible::Stop ? &unconvertible : nullptr);
        if (unconvertible) stoppedAt_ = unconvertible - input.data();
        if (!converted) return false;
    }
    return output.flush();
}
