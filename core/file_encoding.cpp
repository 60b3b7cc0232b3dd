#include "core/file_encoding.h"

#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "core/byte_block.h"
#include "core/huge_pages.h"
#include "core/iconv_converter.h"
#include "core/utf8_check.h"

namespace {

constexpr qsizetype kChunkSize = 1 << 20;

// The whole input in one iconv pass. UTF-8 needs at most one and a half times the bytes of
// GB18030 (a two-byte character becomes at most three bytes), so one buffer always suffices.
std::optional<QByteArray> decodeGb18030AtOnce(QByteArrayView gb) {
    IconvConverter toUtf8("UTF-8", "GB18030");
    QByteArray utf8(gb.size() + gb.size() / 2 + 16, Qt::Uninitialized);
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

// Where a big input is cut in two: just behind the first CR from its middle on, or 0 for no cut.
// No character of more than one byte contains a CR, in GB18030 or in UTF-8, so both halves
// convert exactly as the whole does.
qsizetype halfwayCut(QByteArrayView gb) {
    constexpr qsizetype kWorthACut = qsizetype{4} << 20;
    if (gb.size() < kWorthACut) return 0;
    const auto *cr = static_cast<const char *>(
        std::memchr(gb.data() + gb.size() / 2, '\r', gb.size() - gb.size() / 2));
    return cr ? cr - gb.data() + 1 : 0;
}

// glibc decodes every GB18030 sequence to a character that encodes back to the same bytes, and a
// byte it rejects is kept as it is, where it can never join a neighbour into valid UTF-8; so the
// document always saves back to exactly the bytes it was read from (the tests go through every
// sequence). iconv is by far the slowest step of opening a big GB18030 page, so the two halves of
// the page are decoded on two cores at once.
std::optional<QByteArray> decodeGb18030(QByteArrayView gb) {
    const qsizetype cut = halfwayCut(gb);
    if (cut == 0) return decodeGb18030AtOnce(gb);
    std::optional<QByteArray> second;
    std::thread worker;
    try {
        worker = std::thread([&] { second = decodeGb18030AtOnce(gb.sliced(cut)); });
    } catch (const std::system_error &) {
        return decodeGb18030AtOnce(gb);  // no thread to be had: one core does it all
    }
    std::optional<QByteArray> first = decodeGb18030AtOnce(gb.first(cut));
    worker.join();
    if (!first || !second) return std::nullopt;
    first->reserve(first->size() + second->size());
    adviseHugePages(first->data() + first->size(), second->size());
    first->append(*second);
    return first;
}

}  // namespace

std::optional<TextBuffer> decodeFileBytes(QByteArray fileBytes, bool validUtf8) {
    if (validUtf8) return TextBuffer{std::move(fileBytes), FileEncoding::Utf8};
    auto utf8 = decodeGb18030(fileBytes);
    if (!utf8) return std::nullopt;
    return TextBuffer{std::move(*utf8), FileEncoding::Gb18030};
}

bool encodeDocument(QByteArrayView document, FileEncoding encoding, const ByteSink &sink) {
    if (encoding == FileEncoding::Utf8) return sink(document);
    IconvConverter toGb("GB18030", "UTF-8");
    std::vector<char> buffer(std::min<qsizetype>(kChunkSize, 2 * document.size() + 16));
    return toGb.convert(document, buffer, sink);
}
