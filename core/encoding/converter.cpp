#include "core/encoding/converter.h"

#include <optional>

#include "core/encoding/gb18030_page.h"
#include "core/encoding/page_converter.h"

namespace {

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
        auto utf8 = decodeGb18030Page(std::move(bytes));
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
