#include "core/pages/open_page.h"

#include "core/encoding/converter.h"
#include "core/files/page_file.h"
#include "core/pages/linked_style_sheets.h"
#include "core/trim/line_trim.h"

Result<TextBuffer> openPage(const QString &path) {
    auto read = readRegularFile(path, kMaxDocumentSize);
    if (const auto *error = std::get_if<FileError>(&read)) return *error;
    QByteArray &file = std::get<QByteArray>(read);
    // Chosen the way a browser chooses, from the page as it was read; the trim keeps what it
    // looks at.
    const PageEncoding encoding = choosePageEncoding(file);
    // A sheet that could not be read keeps nothing, exactly as in zerediz-compress, whose report
    // names it; the window keeps to its one message and tells nothing of it.
    std::vector<UnreadStyleSheet> unread;
    const PageContext context = readPageContext(file, path, encoding.encoding, unread);
    QByteArray trimmed = trimLinesInPlace(std::move(file), context);
    if (trimmed.size() > kMaxDocumentSize) return FileError{FileError::Kind::TrimmedTooLarge, {}};

    auto document = decodePage(std::move(trimmed), encoding);
    if (const auto *error = std::get_if<FileError>(&document)) return *error;
    if (std::get<TextBuffer>(document).bytes.size() > kMaxDocumentSize)
        return FileError{FileError::Kind::TooLarge, {}};
    return document;
}
