#include "cli/standard_streams.h"

#include <sys/stat.h>
#include <unistd.h>
#include <new>

#include "cli/page_compressor.h"
#include "core/file_error_text.h"
#include "core/line_trim_loader.h"
#include "core/regular_file_reader.h"

namespace {

const QString kStandardInput = QStringLiteral("标准输入");
const QString kStandardOutput = QStringLiteral("标准输出");

PageOutcome failure(const QString &what, const FileError &why) {
    return {true, false, 0, 0, what + u'：' + fileErrorText(why)};
}

// 0, or the errno of the write that failed.
int writeAll(int fd, QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(fd, bytes.data(), static_cast<size_t>(bytes.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes = bytes.sliced(n);
    }
    return 0;
}

// Standard input redirected from a file can be read in one go.
qint64 expectedSize() {
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    return qMax<qint64>(status.st_size - ::lseek(STDIN_FILENO, 0, SEEK_CUR), 0);
}

PageOutcome compress(const CompressRequest &request) {
    auto read = readToEnd(STDIN_FILENO, expectedSize(), LineTrimLoader::kMaxDocumentSize);
    if (const auto *error = std::get_if<FileError>(&read))
        return failure(cannotOpenText(kStandardInput), *error);
    const QByteArray &page = std::get<QByteArray>(read);
    auto compressed = compressedBytes(page);
    if (const auto *error = std::get_if<FileError>(&compressed))
        return failure(cannotOpenText(kStandardInput), *error);
    const QByteArray &result = std::get<QByteArray>(compressed);

    const PageOutcome outcome{false, result != page, page.size(), result.size(), {}};
    if (request.output == CompressRequest::Output::Check) return outcome;
    if (request.output == CompressRequest::Output::File &&
        request.outputPath != QStringLiteral("-")) {
        if (const auto error = storeUnlessHeld(PageJob::Kind::ToFile, request.outputPath, result))
            return failure(cannotSaveText(request.outputPath), *error);
        return outcome;
    }
    if (const int error = writeAll(STDOUT_FILENO, result))
        return failure(cannotSaveText(kStandardOutput), writeErrorFromErrno(error));
    return outcome;
}

}  // namespace

PageOutcome compressStandardInput(const CompressRequest &request) {
    try {
        return compress(request);
    } catch (const std::bad_alloc &) {
        return failure(cannotOpenText(kStandardInput), {FileError::Kind::OutOfMemory, {}});
    }
}
