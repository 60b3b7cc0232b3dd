#include "core/text_writer.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

#include "core/file_encoding.h"

namespace {

// QSaveFile reports failures as text only; the errno of the failing call is still set right after
// it, because the clean-up that follows is made of calls that succeed.
FileError errorOf(const QSaveFile &file, int error) {
    if (error != 0) return writeErrorFromErrno(error);
    return {FileError::Kind::Other, file.errorString()};
}

}  // namespace

std::optional<FileError> TextWriter::write(const QString &path, QByteArrayView document,
                                           FileEncoding encoding) {
    if (path.isEmpty()) return FileError{FileError::Kind::FolderMissing, {}};
    if (QFileInfo(path).isDir()) return FileError{FileError::Kind::IsDirectory, {}};

    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) return errorOf(file, errno);

    int writeError = 0;
    const bool written = encodeDocument(document, encoding, [&](QByteArrayView piece) {
        errno = 0;
        if (file.write(piece.data(), piece.size()) == piece.size()) return true;
        writeError = errno;
        return false;
    });
    if (!written) {
        file.cancelWriting();
        return errorOf(file, writeError);
    }
    errno = 0;
    if (!file.commit()) return errorOf(file, errno);
    return std::nullopt;
}
