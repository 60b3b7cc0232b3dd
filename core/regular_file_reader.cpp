#include "core/regular_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <QFile>
#include <cerrno>

#include "core/file_descriptor.h"
#include "core/huge_pages.h"

std::variant<QByteArray, FileError> readRegularFile(const QString &path, qint64 maxSize) {
    if (path.isEmpty()) return FileError{FileError::Kind::NotFound, {}};

    // O_NONBLOCK: opening a FIFO must not wait for a writer. It has no effect on regular files.
    FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) return readErrorFromErrno(errno);

    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return readErrorFromErrno(errno);
    if (S_ISDIR(status.st_mode)) return FileError{FileError::Kind::IsDirectory, {}};
    if (!S_ISREG(status.st_mode)) return FileError{FileError::Kind::NotRegularFile, {}};
    if (status.st_size > maxSize) return FileError{FileError::Kind::TooLarge, {}};

    // The file may change while it is read; read until the end, whatever its size is now.
    return readToEnd(file.get(), status.st_size, maxSize);
}

std::variant<QByteArray, FileError> readToEnd(int fd, qint64 expectedSize, qint64 maxSize) {
    // One spare byte lets the final read that reports the end happen without growing.
    QByteArray content(qMin(expectedSize, maxSize) + 1, Qt::Uninitialized);
    adviseHugePages(content.data(), content.size());
    qint64 used = 0;
    for (;;) {
        if (used == content.size()) {
            if (used > maxSize) return FileError{FileError::Kind::TooLarge, {}};
            content.resize(used + qMax<qint64>(used / 2, 64 * 1024));
        }
        const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return readErrorFromErrno(errno);
        }
        if (n == 0) break;
        used += n;
    }
    if (used > maxSize) return FileError{FileError::Kind::TooLarge, {}};
    content.truncate(used);
    return content;
}
