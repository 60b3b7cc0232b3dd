#include "core/file_encoding.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <vector>

#include "core/byte_block.h"
#include "core/charset_support.h"
#include "core/encoding_choice.h"
#include "core/huge_pages.h"
#include "core/iconv_converter.h"
#include "core/utf8_check.h"

namespace {

constexpr qsizetype kChunkSize = 1 << 20;

// glibc decodes each of the four-byte sequences 95 32 90 31, 95 32 90 33, 95 32 97 30,
// 95 36 B9 37, 96 30 BA 35 and 96 35 B6 30 to the character that the two-byte codes FE 51, FE 52,
// FE 53, FE 6C, FE 76 and FE 91 stand for, and encodes that character back as the two-byte code.
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

// The whole input in one iconv pass. A two-byte code may stand for a character beyond the BMP,
// four bytes in UTF-8; nothing grows more than that, so twice the input always suffices. Pages
// of it that are never written cost address space only.
std::optional<QByteArray> decodeGb18030AtOnce(QByteArrayView gb) {
    IconvConverter toUtf8("UTF-8", "GB18030", mayHoldFourByteSequence);
    QByteArray utf8(2 * gb.size() + 16, Qt::Uninitialized);
    adviseHugePages(utf8.data(), utf8.size());
    qsizetype length = -1;
    const bool ok =
        toUtf8.convert(gb, std::span(utf8.data(), utf8.size()), [&](QByteArrayView all) {
            if (length >= 0) return false;
            length = all.size();
            return true;
        });
    if (!ok) return std::nullopt;
    utf8.resize(length);
    utf8.squeeze();
    return utf8;
}

// Where a big input is cut in two: just behind the first line end (CR or LF) from its middle on,
// or 0 for no cut. No character of more than one byte contains a CR or a LF, in GB18030 or in
// UTF-8, so both halves convert exactly as the whole does.
qsizetype halfwayCut(QByteArrayView gb) {
    constexpr qsizetype kWorthACut = qsizetype{4} << 20;
    if (gb.size() < kWorthACut) return 0;
    const char *const end = gb.data() + gb.size();
    const char *const lineEnd =
        std::find_if(gb.data() + gb.size() / 2, end, [](char c) { return c == '\r' || c == '\n'; });
    return lineEnd < end ? lineEnd - gb.data() + 1 : 0;
}

// iconv is by far the slowest step of opening a big GB18030 page, so the two halves of the page
// are decoded on two cores at once.
std::optional<QByteArray> decodeGb18030(QByteArrayView gb) {
    const qsizetype cut = halfwayCut(gb);
    if (cut == 0) return decodeGb18030AtOnce(gb);
    // Where no thread can be had, the second half is decoded when get() asks for it.
    auto second = std::async(std::launch::async | std::launch::deferred,
                             [gb, cut] { return decodeGb18030AtOnce(gb.sliced(cut)); });
    std::optional<QByteArray> first = decodeGb18030AtOnce(gb.first(cut));
    std::optional<QByteArray> rest = second.get();
    if (!first || !rest) return std::nullopt;
    first->reserve(first->size() + rest->size());
    adviseHugePages(first->data() + first->size(), rest->size());
    first->append(*rest);
    return first;
}

bool everyStretch(QByteArrayView) {
    return true;
}

// Converts a page in an encoding other than UTF-8 and GB18030, whole or, with needsCheck, a
// character at a time with those that do not come back kept raw.
std::optional<QByteArray> decodeOther(QByteArrayView bytes, const FileEncoding &encoding,
                                      IconvConverter::NeedsCheck needsCheck) {
    IconvConverter toUtf8("UTF-8", encoding.name(), needsCheck);
    QByteArray utf8;
    utf8.reserve(bytes.size() + bytes.size() / 2 + 16);
    std::vector<char> buffer(std::min<qsizetype>(kChunkSize, 4 * bytes.size() + 16));
    if (!toUtf8.convert(bytes, buffer, [&](QByteArrayView piece) {
            utf8.append(piece);
            return true;
        }))
        return std::nullopt;
    return utf8;
}

// Whether document, written in encoding, gives exactly bytes.
bool encodesBackTo(QByteArrayView document, const FileEncoding &encoding, QByteArrayView bytes) {
    qsizetype matched = 0;
    const EncodeResult result = encodeDocument(document, encoding, [&](QByteArrayView piece) {
        if (piece != bytes.sliced(matched, std::min(piece.size(), bytes.size() - matched)))
            return false;
        matched += piece.size();
        return true;
    });
    return result && matched == bytes.size();
}

// Raw bytes of an encoding other than UTF-8 and GB18030 may happen to make valid UTF-8 together,
// which would then be written as a character: so the document is checked to encode back.
std::optional<QByteArray> decodeOtherExactly(QByteArrayView bytes, const FileEncoding &encoding) {
    for (const IconvConverter::NeedsCheck needsCheck :
         {IconvConverter::NeedsCheck{nullptr}, IconvConverter::NeedsCheck{everyStretch}}) {
        auto utf8 = decodeOther(bytes, encoding, needsCheck);
        if (utf8 && encodesBackTo(*utf8, encoding, bytes)) return utf8;
    }
    return std::nullopt;
}

}  // namespace

std::optional<TextBuffer> decodeFileBytes(QByteArray bytes, const FileEncoding &encoding) {
    if (encoding == FileEncoding::Utf8) return TextBuffer{std::move(bytes), FileEncoding::Utf8};
    if (encoding == FileEncoding::Gb18030) {
        auto utf8 = decodeGb18030(bytes);
        if (!utf8) return std::nullopt;
        return TextBuffer{std::move(*utf8), FileEncoding::Gb18030};
    }
    if (isSupportedCharset(encoding.name())) {
        if (auto utf8 = decodeOtherExactly(bytes, encoding))
            return TextBuffer{std::move(*utf8), encoding};
    }
    const FileEncoding fallback = encodingOfContent(bytes, isValidUtf8(bytes));
    return decodeFileBytes(std::move(bytes), fallback);
}

std::optional<TextBuffer> decodeFileBytes(QByteArray bytes) {
    const FileEncoding encoding = chooseFileEncoding(bytes);
    return decodeFileBytes(std::move(bytes), encoding);
}

EncodeResult encodeDocument(QByteArrayView document, const FileEncoding &encoding,
                            const ByteSink &sink) {
    using Status = EncodeResult::Status;
    if (encoding == FileEncoding::Utf8) return {sink(document) ? Status::Done : Status::Stopped};
    IconvConverter toFile(encoding.name(), "UTF-8", nullptr, IconvConverter::Unconvertible::Stop);
    bool stopped = false;
    std::vector<char> buffer(std::min<qsizetype>(kChunkSize, 2 * document.size() + 16));
    if (toFile.convert(document, buffer, [&](QByteArrayView piece) {
            stopped = !sink(piece);
            return !stopped;
        }))
        return {Status::Done};
    if (toFile.stoppedAt() >= 0) return {Status::Unencodable, toFile.stoppedAt()};
    return {stopped ? Status::Stopped : Status::Failed};
}
