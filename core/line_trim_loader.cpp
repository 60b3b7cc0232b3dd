#include "core/line_trim_loader.h"

#include <future>

#include "core/converter.h"
#include "core/line_trim.h"
#include "core/page_file.h"
#include "core/utf8_check.h"

namespace {

// Below this size a second thread costs more than it saves.
constexpr qsizetype kCheckAlongsideFrom = qsizetype{1} << 20;

// The encoding is chosen from the file the way a browser would read it: a byte-order mark or a
// declaration near its start, looked for before the trim touches it, or else what its bytes say.
// Trimming only removes spaces next to line ends and adds a LF behind a lone CR: it never joins
// or splits a run of bytes from 0x80 up, so what the bytes say can be asked of the file before
// the trim or of its result after it, and of each part of the one or the other. The file is
// trimmed in its own buffer, so a big page is never held twice; on a big page the second core
// checks the file's second half while the first trims the first half, and then the trimmed first
// half while the first trims the rest.
QByteArray trimLinesAndChooseEncoding(QByteArray file, FileEncoding &encoding) {
    const std::optional<FileEncoding> stated = statedEncoding(file);
    InPlaceTrim trim(std::move(file));
    if (stated) {
        encoding = *stated;
        return trim.finish();
    }
    bool validUtf8 = true;
    const QByteArrayView page = trim.page();
    if (page.size() >= kCheckAlongsideFrom) {
        // Where no thread can be had, each check is made when get() asks for it.
        constexpr auto kPolicy = std::launch::async | std::launch::deferred;
        const qsizetype middle = lineStartNear(page, page.size() / 2);
        auto secondHalf = std::async(kPolicy, [&] { return isValidUtf8(page.sliced(middle)); });
        trim.trimTo(middle);
        validUtf8 = secondHalf.get();
        auto firstHalf =
            std::async(kPolicy, [result = trim.result()] { return isValidUtf8(result); });
        trim.trimTo(page.size());
        validUtf8 = firstHalf.get() && validUtf8;
    }
    QByteArray trimmed = trim.finish();
    if (page.size() < kCheckAlongsideFrom) validUtf8 = isValidUtf8(trimmed);
    encoding = encodingOfContent(trimmed, validUtf8);
    return trimmed;
}

}  // namespace

std::variant<TextBuffer, FileError> openPage(const QString &path) {
    auto read = readRegularFile(path, kMaxDocumentSize);
    if (auto *error = std::get_if<FileError>(&read)) return *error;
    FileEncoding encoding;
    QByteArray trimmed =
        trimLinesAndChooseEncoding(std::move(std::get<QByteArray>(read)), encoding);
    if (trimmed.size() > kMaxDocumentSize) return FileError{FileError::Kind::TrimmedTooLarge, {}};

    auto document = decodeFileBytes(std::move(trimmed), encoding);
    if (const auto *error = std::get_if<FileError>(&document)) return *error;
    if (std::get<TextBuffer>(document).bytes.size() > kMaxDocumentSize)
        return FileError{FileError::Kind::TooLarge, {}};
    return document;
}
