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

// How many bytes the GB18030 character at gb[i] claims: 1, 2 or 4. A byte that starts no valid
// sequence counts as one.
qsizetype gb18030SequenceLength(QByteArrayView gb, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(gb[k]); };
    const auto lead = at(i);
    if (lead < 0x81 || lead == 0xFF || i + 1 >= gb.size()) return 1;
    const auto second = at(i + 1);
    if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE)) return 2;
    if (second >= 0x30 && second <= 0x39 && i + 3 < gb.size() && at(i + 2) >= 0x81 &&
        at(i + 2) <= 0xFE && at(i + 3) >= 0x30 && at(i + 3) <= 0x39)
        return 4;
    return 1;
}

// The slow way, for the rare file whose bulk conversion does not come back exactly: each character
// is converted on its own and kept as raw bytes unless it comes back to the same bytes.
QByteArray decodeGb18030CharByChar(QByteArrayView gb) {
    IconvConverter toUtf8("UTF-8", "GB18030");
    IconvConverter toGb("GB18030", "UTF-8");
    std::vector<char> buffer(64);
    QByteArray utf8;
    utf8.reserve(gb.size() + gb.size() / 2);
    for (qsizetype i = 0; i < gb.size();) {
        const qsizetype length = gb18030SequenceLength(gb, i);
        const QByteArrayView sequence = gb.sliced(i, length);
        QByteArray decoded;
        QByteArray back;
        const auto collect = [](QByteArray &into) {
            return [&into](QByteArrayView piece) {
                into.append(piece);
                return true;
            };
        };
        if (length > 1 && toUtf8.convert(sequence, buffer, collect(decoded)) &&
            toGb.convert(decoded, buffer, collect(back)) && back == sequence)
            utf8.append(decoded);
        else
            utf8.append(sequence);
        i += length;
    }
    return utf8;
}

std::optional<QByteArray> decodeGb18030Exactly(QByteArrayView gb) {
    if (auto utf8 = decodeGb18030AtOnce(gb); utf8 && encodesBackTo(*utf8, gb)) return utf8;
    QByteArray utf8 = decodeGb18030CharByChar(gb);
    if (encodesBackTo(utf8, gb)) return utf8;
    return std::nullopt;
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
