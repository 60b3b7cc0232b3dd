#include "cli/page_compressor.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <filesystem>
#include <new>
#include <system_error>

#include "core/file_error_text.h"
#include "core/line_trim.h"
#include "core/line_trim_loader.h"
#include "core/regular_file_reader.h"
#include "core/text_writer.h"

namespace {

PageOutcome failure(const QString &what, const FileError &why) {
    PageOutcome outcome;
    outcome.failed = true;
    outcome.errorLine = what + u'：' + fileErrorText(why);
    return outcome;
}

// Whether the file at path holds exactly bytes; only a file of the same size is read.
bool holds(const QString &path, const QByteArray &bytes) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size != bytes.size())
        return false;
    const auto content = readRegularFile(path, bytes.size());
    const auto *held = std::get_if<QByteArray>(&content);
    return held && *held == bytes;
}

std::optional<FileError> writeToStandardOutput(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), static_cast<size_t>(bytes.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            return writeErrorFromErrno(errno);
        }
        bytes = bytes.sliced(n);
    }
    return std::nullopt;
}

std::optional<FileError> makeFolderFor(const QString &target) {
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(QFileInfo(target).path()).toStdString()), error);
    if (error) return writeErrorFromErrno(error.value());
    return std::nullopt;
}

PageOutcome compress(const PageJob &job) {
    auto read = readRegularFile(job.source, LineTrimLoader::kMaxDocumentSize);
    if (const auto *error = std::get_if<FileError>(&read))
        return failure(cannotOpenText(job.source), *error);
    const QByteArray &page = std::get<QByteArray>(read);
    auto compressed = compressedBytes(page);
    if (const auto *error = std::get_if<FileError>(&compressed))
        return failure(cannotOpenText(job.source), *error);
    const QByteArray &result = std::get<QByteArray>(compressed);

    PageOutcome outcome;
    outcome.sizeBefore = page.size();
    outcome.sizeAfter = result.size();
    outcome.changed = result != page;
    if (job.kind == PageJob::Kind::Check) return outcome;
    if (job.kind == PageJob::Kind::InPlace) {
        // The page was just read: no need to read it again to know that it holds its result.
        if (outcome.changed) {
            if (const auto error = TextWriter::writeBytes(job.source, result))
                return failure(cannotSaveText(job.source), *error);
        }
        return outcome;
    }
    if (const auto error = storeUnlessHeld(job.kind, job.target, result))
        return failure(cannotSaveText(targetName(job.target)), *error);
    return outcome;
}

}  // namespace

std::variant<QByteArray, FileError> compressedBytes(QByteArrayView page) {
    QByteArray compressed = trimLines(page);
    if (compressed.size() > LineTrimLoader::kMaxDocumentSize)
        return FileError{FileError::Kind::TooLarge, {}};
    return compressed;
}

QString targetName(const QString &target) {
    return target == u'-' ? QStringLiteral("标准输出") : target;
}

std::optional<FileError> storeUnlessHeld(PageJob::Kind kind, const QString &target,
                                         const QByteArray &bytes) {
    if (target == u'-') return writeToStandardOutput(bytes);
    if (holds(target, bytes)) return std::nullopt;
    if (kind == PageJob::Kind::ToMirror) {
        if (auto error = makeFolderFor(target)) return error;
    }
    return TextWriter::writeBytes(target, bytes);
}

PageOutcome compressPage(const PageJob &job) {
    try {
        return compress(job);
    } catch (const std::bad_alloc &) {
        // A page near the size limit, on several threads at once, may not fit in memory.
        return failure(cannotOpenText(job.source), {FileError::Kind::OutOfMemory, {}});
    }
}
