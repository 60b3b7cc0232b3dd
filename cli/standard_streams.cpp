#include "cli/standard_streams.h"

#include <sys/stat.h>
#include <unistd.h>
#include <new>

#include "cli/page_compressor.h"
#include "core/file_error_text.h"
#include "core/line_trim_loader.h"
#include "core/page_file.h"

namespace {

const QString kStandardInput = QStringLiteral("标准输入");

PageOutcome failure(const QString &what, const FileError &why) {
    PageOutcome outcome;
    outcome.failed = true;
    outcome.errorLine = what + u'：' + fileErrorText(why);
    return outcome;
}

// Standard input redirected from a file can be read in one go.
qint64 expectedSize() {
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    return qMax<qint64>(status.st_size - ::lseek(STDIN_FILENO, 0, SEEK_CUR), 0);
}

PageOutcome compress(const CompressRequest &request) {
    auto read = readToEnd(STDIN_FILENO, expectedSize(), kMaxDocumentSize);
    if (const auto *error = std::get_if<FileError>(&read))
        return failure(cannotOpenText(kStandardInput), *error);
    const QByteArray &page = std::get<QByteArray>(read);
    auto compressed = compressedBytes(page);
    if (const auto *error = std::get_if<FileError>(&compressed))
        return failure(cannotCompressText(kStandardInput), *error);
    const QByteArray &result = std::get<QByteArray>(compressed);

    PageOutcome outcome;
    outcome.changed = result != page;
    outcome.sizeBefore = page.size();
    outcome.sizeAfter = result.size();
    if (request.output == CompressRequest::Output::Check) return outcome;
    // Without -o the page goes where "-o -" sends it.
    const QString target =
        request.output == CompressRequest::Output::File ? request.outputPath : QStringLiteral("-");
    return outcomeOf(storeUnlessHeld(PageJob::Kind::ToFile, target, result), target, outcome);
}

}  // namespace

PageOutcome compressStandardInput(const CompressRequest &request) {
    try {
        return compress(request);
    } catch (const std::bad_alloc &) {
        return failure(cannotOpenText(kStandardInput), {FileError::Kind::OutOfMemory, {}});
    }
}
