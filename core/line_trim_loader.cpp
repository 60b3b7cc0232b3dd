#include "core/line_trim_loader.h"

#include <future>

#include "core/file_encoding.h"
#include "core/line_trim.h"
#include "core/regular_file_reader.h"

namespace {

// Below this size a second thread costs more than it saves.
constexpr qsizetype kCheckAlongsideFrom = qsizetype{1} << 20;

// Trimming only removes spaces next to line ends and adds a LF behind a lone CR: it never joins
// or splits a run of bytes from 0x80 up. So the file is valid UTF-8 exactly when its trimmed text
// is, and on a big file the check runs on a second core while the first one trims.
QByteArray trimLinesAndCheckUtf8(const QByteArray &file, bool &validUtf8) {
    if (file.size() < kCheckAlongsideFrom) {
        validUtf8 = isValidUtf8(file);
        return trimLines(file);
    }
    // Where no thread can be had, the check runs when get() asks for it.
    auto check = std::async(std::launch::async | std::launch::deferred,
                            [&file] { return isValidUtf8(file); });
    QByteArray trimmed = trimLines(file);
    validUtf8 = check.get();
    return trimmed;
}

}  // namespace

std::variant<TextBuffer, FileError> LineTrimLoader::load(const QString &path) {
    QByteArray trimmed;
    bool validUtf8 = false;
    {
        auto read = readRegularFile(path, kMaxDocumentSize);
        if (auto *error = std::get_if<FileError>(&read)) return *error;
        trimmed = trimLinesAndCheckUtf8(std::get<QByteArray>(read), validUtf8);
    }  // the file's bytes are freed here, before the next copy is made
    if (trimmed.size() > kMaxDocumentSize) return FileError{FileError::Kind::TooLarge, {}};

    auto document = decodeFileBytes(std::move(trimmed), validUtf8);
    if (!document) return FileError{FileError::Kind::NoConverter, {}};
    if (document->bytes.size() > kMaxDocumentSize) return FileError{FileError::Kind::TooLarge, {}};
    return std::move(*document);
}
