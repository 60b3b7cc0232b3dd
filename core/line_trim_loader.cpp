#include "core/line_trim_loader.h"

#include <future>

#include "core/converter.h"
#include "core/line_trim.h"
#include "core/page_file.h"

namespace {

// Below this size a second thread costs more than it saves.
constexpr qsizetype kCheckAlongsideFrom = qsizetype{1} << 20;

// The encoding is chosen from the file as it is, the way a browser would read it: its first 1024
// bytes for a declaration, all of it for the rest. Trimming only removes spaces next to line ends
// and adds a LF behind a lone CR: it never joins or splits a run of bytes from 0x80 up, so what
// the bytes say does not change with it. On a big file the choice, which may look at every
// byte, is made on a second core while the first one trims.
QByteArray chooseEncodingAndTrimLines(const QByteArray &file, FileEncoding &encoding) {
    if (file.size() < kCheckAlongsideFrom) {
        encoding = chooseFileEncoding(file);
        return trimLines(file);
    }
    // Where no thread can be had, the choice is made when get() asks for it.
    auto choice = std::async(std::launch::async | std::launch::deferred,
                             [&file] { return chooseFileEncoding(file); });
    QByteArray trimmed = trimLines(file);
    encoding = choice.get();
    return trimmed;
}

}  // namespace

std::variant<TextBuffer, FileError> openPage(const QString &path) {
    QByteArray trimmed;
    FileEncoding encoding;
    {
        auto read = readRegularFile(path, kMaxDocumentSize);
        if (auto *error = std::get_if<FileError>(&read)) return *error;
        trimmed = chooseEncodingAndTrimLines(std::get<QByteArray>(read), encoding);
    }  // the file's bytes are freed here, before the next copy is made
    if (trimmed.size() > kMaxDocumentSize) return FileError{FileError::Kind::TrimmedTooLarge, {}};

    auto document = decodeFileBytes(std::move(trimmed), encoding);
    if (const auto *error = std::get_if<FileError>(&document)) return *error;
    if (std::get<TextBuffer>(document).bytes.size() > kMaxDocumentSize)
        return FileError{FileError::Kind::TooLarge, {}};
    return document;
}
