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

CompressedPage compress(const PageJob &job) {
    auto read = readRegularFile(job.source, LineTrimLoader::kMaxDocumentSize);
    if (const auto *error = std::get_if<FileError>(&read))
        return {failure(cannotOpenText(job.source), *error), {}, false};
    const QByteArray &page = std::get<QByteArray>(read);
    auto compressed = compressedBytes(page);
    if (const auto *error = std::get_if<FileError>(&compressed))
        return {failure(cannotOpenText(job.source), *error), {}, false};

    CompressedPage result;
    result.bytes = std::move(std::get<QByteArray>(compressed));
    result.outcome.sizeBefore = page.size();
    result.outcome.sizeAfter = result.bytes.size();
    result.outcome.changed = result.bytes != page;
    // The page was just read: no need to read it again to know that it holds its result.
    result.store = job.kind != PageJob::Kind::Check &&
                   (job.kind != PageJob::Kind::InPlace || result.outcome.changed);
    return result;
}

PageOutcome store(const PageJob &job, const CompressedPage &page) {
    PageOutcome outcome = page.outcome;
    if (job.kind == PageJob::Kind::InPlace) {
        if (const auto error = TextWriter::writeBytes(job.source, page.bytes))
            return failure(cannotSaveText(job.source), *error);
        outcome.written = true;
        return outcome;
    }
    const auto stored = storeUnlessHeld(job.kind, job.target, page.bytes);
    if (const auto *error = std::get_if<FileError>(&stored))
        return failure(cannotSaveText(targetName(job.target)), *error);
    outcome.written = std::get<Stored>(stored) == Stored::Written;
    return outcome;
}

// A page near the size limit, on several threads at once, may not fit in memory.
PageOutcome outOfMemory(const PageJob &job) {
    return failure(cannotOpenText(job.source), {FileError::Kind::OutOfMemory, {}});
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

std::variant<Stored, FileError> storeUnlessHeld(PageJob::Kind kind, const QString &target,
                                                const QByteArray &bytes) {
    if (target == u'-') {
        if (const auto error = writeToStandardOutput(bytes)) return *error;
        return Stored::Written;
    }
    if (holds(target, bytes)) return Stored::AlreadyHeld;
    if (kind == PageJob::Kind::ToMirror) {
        if (const auto error = makeFolderFor(target)) return *error;
    }
    if (const auto error = TextWriter::writeBytes(target, bytes)) return *error;
    return Stored::Written;
}

CompressedPage compressPage(const PageJob &job) {
    if (!job.errorLine.isEmpty()) {
        PageOutcome outcome;
        outcome.failed = true;
        outcome.errorLine = job.errorLine;
        return {outcome, {}, false};
    }
    try {
        return compress(job);
    } catch (const std::bad_alloc &) {
        return {outOfMemory(job), {}, false};
    }
}

PageOutcome storePage(const PageJob &job, CompressedPage page) {
    if (page.outcome.failed || !page.store) return page.outcome;
    try {
        return store(job, page);
    } catch (const std::bad_alloc &) {
        return outOfMemory(job);
    }
}
