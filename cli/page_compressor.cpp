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
#include "core/page_file.h"

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

std::variant<Stored, FileError> storedBy(const WriteResult &written) {
    if (const auto *error = std::get_if<FileError>(&written)) return *error;
    return Stored{true, std::get<Written>(written).lostAttributes};
}

bool isInside(const QString &path, const QString &folder) {
    return folder == u'/' || path.startsWith(folder + u'/');
}

std::optional<FileError> makeFolderFor(const QString &target) {
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(QFileInfo(target).path()).toStdString()), error);
    if (error) return writeErrorFromErrno(error.value());
    return std::nullopt;
}

// A page near the size limit, on several threads at once, may not fit in memory.
PageOutcome outOfMemory(const PageJob &job) {
    return failure(cannotOpenText(job.source), {FileError::Kind::OutOfMemory, {}});
}

CompressedPage failedPage(PageOutcome outcome) {
    CompressedPage page;
    page.outcome = std::move(outcome);
    return page;
}

CompressedPage compress(const PageJob &job) {
    auto read = readResolvedFile(job.source, kMaxDocumentSize);
    if (const auto *error = std::get_if<FileError>(&read))
        return failedPage(failure(cannotOpenText(job.source), *error));
    ReadFile &file = std::get<ReadFile>(read);
    // Checked on the file that is open, so that no link swapped in meanwhile can lead elsewhere.
    if (!job.within.isEmpty() && !isInside(file.resolvedPath, job.within)) {
        CompressedPage skipped;
        skipped.outcome.skipped = true;
        skipped.outcome.noticeLine =
            QStringLiteral("跳过链接：%1：它指向的 %2 不在要压缩的文件夹里")
                .arg(job.source, file.resolvedPath);
        return skipped;
    }
    const QByteArray page = std::move(file.bytes);
    auto compressed = compressedBytes(page);
    if (const auto *error = std::get_if<FileError>(&compressed))
        return failedPage(failure(cannotCompressText(job.source), *error));

    CompressedPage result;
    result.resolvedPath = file.resolvedPath;
    result.identity = file.identity;
    result.bytes = std::move(std::get<QByteArray>(compressed));
    result.outcome.sizeBefore = page.size();
    result.outcome.sizeAfter = result.bytes.size();
    result.outcome.changed = result.bytes != page;
    // The page was just read: no need to read it again to know that it holds its result.
    result.store = job.kind != PageJob::Kind::Check &&
                   (job.kind != PageJob::Kind::InPlace || result.outcome.changed);
    return result;
}

}  // namespace

PageOutcome outcomeOf(const std::variant<Stored, FileError> &stored, const QString &target,
                      PageOutcome outcome) {
    if (const auto *error = std::get_if<FileError>(&stored))
        return failure(cannotSaveText(targetName(target)), *error);
    const Stored &done = std::get<Stored>(stored);
    outcome.written = done.written;
    if (!done.lostAttributes.isEmpty())
        outcome.noticeLine =
            cannotKeepAttributesText(target) + u'：' + lostAttributesText(done.lostAttributes);
    return outcome;
}

namespace {

PageOutcome store(const PageJob &job, const CompressedPage &page) {
    if (job.kind == PageJob::Kind::InPlace)
        return outcomeOf(storedBy(writeRegularFile(page.resolvedPath, page.bytes,
                                                   {page.identity, job.nameAlone})),
                         job.source, page.outcome);
    return outcomeOf(storeUnlessHeld(job.kind, job.target, page.bytes), job.target, page.outcome);
}

}  // namespace

std::variant<QByteArray, FileError> compressedBytes(QByteArrayView page) {
    QByteArray compressed = trimLines(page);
    if (compressed.size() > kMaxDocumentSize)
        return FileError{FileError::Kind::TrimmedTooLarge, {}};
    return compressed;
}

QString targetName(const QString &target) {
    return target == u'-' ? QStringLiteral("标准输出") : target;
}

std::variant<Stored, FileError> storeUnlessHeld(PageJob::Kind kind, const QString &target,
                                                const QByteArray &bytes) {
    if (target == u'-') {
        if (const auto error = writeToStandardOutput(bytes)) return *error;
        return Stored{true, {}};
    }
    if (holds(target, bytes)) return Stored{false, {}};
    if (kind == PageJob::Kind::ToMirror) {
        if (const auto error = makeFolderFor(target)) return *error;
    }
    return storedBy(writeRegularFile(target, bytes));
}

CompressedPage compressPage(const PageJob &job) {
    if (!job.errorLine.isEmpty()) {
        PageOutcome outcome;
        outcome.failed = true;
        outcome.errorLine = job.errorLine;
        return failedPage(outcome);
    }
    try {
        return compress(job);
    } catch (const std::bad_alloc &) {
        return failedPage(outOfMemory(job));
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
