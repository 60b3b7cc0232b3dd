#include "core/file_encoding.h"

#include <cstring>
#include <vector>

#include "core/iconv_converter.h"

namespace {

constexpr qsizetype kChunkSize = 1 << 20;

bool encodesBackTo(QByteArrayView utf8, QByteArrayView expected) {
    qsizetype matched = 0;
    const bool complete = encodeDocument(utf8, FileEncoding::Gb18030, [&](QByteArrayView piece) {
        if (piece.size() > expected.size() - matched ||
            std::memcmp(piece.data(), expected.data() + matched, piece.size()) != 0)
            return false;
        matched += piece.size();
        return true;
    });
    return complete && matched == expected.size();
}

// The whole input in one iconv pass. UTF-8 needs at most one and a half times the bytes of
// GB18030 (a two-byte character becomes at most three bytes), so one buffer always suffices.
std::optional<QByteArray> decodeGb18030AtOnce(QByteArrayView gb) {
    IconvConverter toUtf8("UTF-8", "GB18030");
    QByteArray utf8(gb.size() + gb.size() / 2 + 16, Qt::Uninitialized);
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

// Every GB18030 sequence that glibc decodes encodes back to the same bytes, and a byte it
// rejects is kept as it is, so this check does not fail on this system. It stays as the
// guarantee that a page is never saved differently from how it was read, whatever the converter.
std::optional<QByteArray> decodeGb18030Exactly(QByteArrayView gb) {
    auto utf8 = decodeGb18030AtOnce(gb);
    if (!utf8 || !encodesBackTo(*utf8, gb)) return std::nullopt;
    return utf8;
}

}  // namespace

std::optional<TextBuffer> decodeFileBytes(QByteArray fileBytes) {
    if (fileBytes.isValidUtf8()) return TextBuffer{std::move(fileBytes), FileEncoding::Utf8};
    auto utf8 = decodeGb18030Exactly(fileBytes);
    if (!utf8) return std::nullopt;
    return TextBuffer{std::move(*utf8), FileEncoding::Gb18030};
}

bool encodeDocument(QByteArrayView document, FileEncoding encoding, const ByteSink &sink) {
    if (encoding == FileEncoding::Utf8) return sink(document);
    IconvConverter toGb("GB18030", "UTF-8");
    std::vector<char> buffer(std::min<qsizetype>(kChunkSize, 2 * document.size() + 16));
    return toGb.convert(document, buffer, sink);
}
