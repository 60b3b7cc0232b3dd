#include "core/text_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
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

// An existing target must take writing as it is: a read-only file stays unchanged even where its
// folder would let it be replaced. Opening it for writing, without truncating, asks the system
// exactly that, through links and with the caller's own rights; O_NONBLOCK keeps a FIFO without
// a reader from blocking. Only regular files are replaced: a device or FIFO must never be swapped
// for a file.
std::optional<FileError> checkTargetWritable(const QString &path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        struct stat status {};
        const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
        ::close(fd);
        if (!regular) return FileError{FileError::Kind::NotRegularFile, {}};
        return std::nullopt;
    }
    if (errno == ENOENT) return std::nullopt;  // a new file; its folder is checked on creation
    return writeErrorFromErrno(errno);
}

}  // namespace

std::optional<FileError> TextWriter::write(const QString &path, QByteArrayView document,
                                           FileEncoding encoding) {
    if (path.isEmpty()) return FileError{FileError::Kind::FolderMissing, {}};
    if (auto error = checkTargetWritable(path)) return error;

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
