#include "core/pages/save_page.h"

#include "core/encoding/converter.h"

WriteResult savePage(const QString &path, QByteArrayView document, const FileEncoding &encoding) {
    // A UTF-8 document is stored as it is, byte for byte, whether it is valid UTF-8 or not.
    if (encoding == FileEncoding::Utf8) return writeRegularFile(path, document);
    auto encoded = encodeDocument(document, encoding);
    if (const auto *error = std::get_if<FileError>(&encoded)) return *error;
    return writeRegularFile(path, std::get<QByteArray>(encoded));
}
