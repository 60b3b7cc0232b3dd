#include "core/line_trim_loader.h"

#include "core/file_encoding.h"
#include "core/line_trim.h"
#include "core/regular_file_reader.h"

std::variant<TextBuffer, FileError> LineTrimLoader::load(const QString &path) {
    QByteArray trimmed;
    {
        auto read = readRegularFile(path, kMaxDocumentSize);
        if (auto *error = std::get_if<FileError>(&read)) return *error;
        trimmed = trimLines(std::get<QByteArray>(read));
    }  // the file's bytes are freed here, before the next copy is made
    if (trimmed.size() > kMaxDocumentSize) return FileError{FileError::Kind::TooLarge, {}};

    auto document = decodeFileBytes(std::move(trimmed));
    if (!document) return FileError{FileError::Kind::NotExactlyDecodable, {}};
    if (document->bytes.size() > kMaxDocumentSize) return FileError{FileError::Kind::TooLarge, {}};
    return std::move(*document);
}
