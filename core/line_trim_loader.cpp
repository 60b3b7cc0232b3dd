#include "core/line_trim_loader.h"

#include <future>

#include "core/converter.h"
#include "core/line_trim.h"
#include "core/page_file.h"
#include "core/utf8_check.h"

namespace {

// Below this size a second thread costs more than it saves.
constexpr qsizetype kCheckAlongsideFrom = qsizetype{1} << 20;

// Trims a page in the buffer it was read into, so that a big page is never held twice, and, where
// validUtf8 is given, tells whether the page is well-formed UTF-8. Trimming only removes spaces
// next to line ends and adds a LF behind a lone CR: it never joins or splits a run of bytes from
// 0x80 up, so that can be asked of the page before the trim or of its result after it, and of
// each part of the one or the other. On a big page the second core checks the page's second half
// while the first trims the first half, and then the trimmed first half while the first trims the
// rest.
QByteArray trimInPlace(QByteArray file, bool *validUtf8) {
    InPlaceTrim trim(std::move(file));
    const QByteArrayView page = trim.page();
    if (!validUtf8) return trim.finish();
    if (page.size() < kCheckAlongsideFrom) {
        QByteArray trimmed = trim.finish();
        *validUtf8 = isValidUtf8(trimmed);
        return trimmed;
    }
    // Where no thread can be had, each check is made when get() asks for it.
    constexpr auto kPolicy = std::launch::async | std::launch::deferred;
    const qsizetype middle = lineStartNear(page, page.size() / 2);
    auto secondHalf = std::async(kPolicy, [&] { return isValidUtf8(page.sliced(middle)); });
    trim.trimTo(middle);
    const bool secondValid = secondHalf.get();
    auto firstHalf = std::async(kPolicy, [result = trim.result()] { return isValidUtf8(result); });
    trim.trimTo(page.size());
    *validUtf8 = firstHalf.get() && secondValid;
    return trim.finish();
}

}  // namespace

std::variant<TextBuffer, FileError> openPage(const QString &path) {
    auto read = readRegularFile(path, kMaxDocumentSize);
    if (auto *error = std::get_if<FileError>(&read)) return *error;
    QByteArray &file = std::get<QByteArray>(read);
    // Looked for the way a browser looks before it reads a page, before the trim touches it.
    const std::optional<FileEncoding> stated = statedEncoding(file);
    bool validUtf8 = false;
    QByteArray trimmed = trimInPlace(std::move(file), stated ? nullptr : &validUtf8);
    if (trimmed.size() > kMaxDocumentSize) return FileError{FileError::Kind::TrimmedTooLarge, {}};

    auto document = decodeFileBytes(std::move(trimmed), stated, validUtf8);
    if (const auto *error = std::get_if<FileError>(&document)) return *error;
    if (std::get<TextBuffer>(document).bytes.size() > kMaxDocumentSize)
        return FileError{FileError::Kind::TooLarge, {}};
    return document;
}
