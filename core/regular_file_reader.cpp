#include "core/regular_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <optional>

#include "core/file_descriptor.h"
#include "core/huge_pages.h"

namespace {

// Opens a regular file of at most maxSize bytes for reading. Anything else is refused before a
// byte is read from it.
std::variant<FileDescriptor, FileError> openRegularFile(const QString &path, qint64 maxSize,
                                                        struct stat &status) {
    if (path.isEmpty()) return FileError{FileError::Kind::NotFound, {}};

    // O_NONBLOCK: opening a FIFO must not wait for a writer. It has no effect on regular files.
    FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) return readErrorFromErrno(errno);

    if (::fstat(file.get(), &status) != 0) return readErrorFromErrno(errno);
    if (S_ISDIR(status.st_mode)) return FileError{FileError::Kind::IsDirectory, {}};
    if (!S_ISREG(status.st_mode)) return FileError{FileError::Kind::NotRegularFile, {}};
    if (status.st_size > maxSize) return FileError{FileError::Kind::TooLarge, {}};
    return file;
}

// The path of the file open as fd, as the system resolved it when it was opened; whatever links
// are swapped since, this is the file that was opened. Where the system cannot say (no /proc),
// the path's own resolution is taken, provided it leads to that same file.
std::optional<QString> resolvedPathOf(int fd, const QString &path, const struct stat &status) {
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    char buffer[4096];
    const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
    if (length > 0 && length < ssize_t(sizeof buffer) && buffer[0] == '/')
        return QFile::decodeName(QByteArray(buffer, length));
    const QString canonical = QFileInfo(path).canonicalFilePath();
    struct stat now {};
    if (canonical.isEmpty() || ::stat(QFile::encodeName(canonical).constData(), &now) != 0 ||
        FileIdentity::of(now) != FileIdentity::of(status))
        return std::nullopt;
    return canonical;
}

}  // namespace

std::variant<QByteArray, FileError> readRegularFile(const QString &path, qint64 maxSize) {
    struct stat status {};
    auto opened = openRegularFile(path, maxSize, status);
    if (auto *error = std::get_if<FileError>(&opened)) return *error;
    // The file may change while it is read; read until the end, whatever its size is now.
    return readToEnd(std::get<FileDescriptor>(opened).get(), status.st_size, maxSize);
}

std::variant<ReadFile, FileError> readResolvedFile(const QString &path, qint64 maxSize) {
    struct stat status {};
    auto opened = openRegularFile(path, maxSize, status);
    if (auto *error = std::get_if<FileError>(&opened)) return *error;
    const int fd = std::get<FileDescriptor>(opened).get();
    const auto resolved = resolvedPathOf(fd, path, status);
    if (!resolved) return FileError{FileError::Kind::Replaced, {}};
    auto bytes = readToEnd(fd, status.st_size, maxSize);
    if (auto *error = std::get_if<FileError>(&bytes)) return *error;
    return ReadFile{std::get<QByteArray>(std::move(bytes)), *resolved, FileIdentity::of(status)};
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
