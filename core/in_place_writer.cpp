#include "core/in_place_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <QFile>
#include <cerrno>

#include "core/file_descriptor.h"
#include "core/file_size_limit.h"

namespace {

// Read and write where the file allows it, so that the old bytes can be kept; write only where it
// does not. O_NONBLOCK: a FIFO put in the file's place must not block the window. The path is
// one whose links were followed already: a link put in its place is not followed.
int openForOverwrite(const QString &path, bool &readable) {
    const QByteArray name = QFile::encodeName(path);
    constexpr int kFlags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;
    int fd = ::open(name.constData(), O_RDWR | kFlags);
    readable = fd >= 0;
    if (fd < 0 && errno == EACCES) fd = ::open(name.constData(), O_WRONLY | kFlags);
    return fd;
}

// The whole old content; nullopt with errno set where it cannot be read.
std::optional<QByteArray> readAll(int fd, qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 used = 0;
    while (used < size) {
        const ssize_t n = ::pread(fd, bytes.data() + used, static_cast<size_t>(size - used), used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;  // shorter than it was a moment ago
        used += n;
    }
    bytes.truncate(used);
    return bytes;
}

enum class Reservation { Made, NotSupported, Failed };

// Makes sure that the first size bytes of the file have their blocks, without changing what the
// file holds, so that overwriting them cannot run out of space half-way. Failed leaves errno set.
Reservation reserve(int fd, qint64 size) {
    if (size == 0) return Reservation::Made;
    int result;
    do {
        result = ::fallocate(fd, 0, 0, size);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return Reservation::Made;
    return errno == EOPNOTSUPP || errno == ENOSYS ? Reservation::NotSupported : Reservation::Failed;
}

}  // namespace

std::optional<FileError> overwriteInPlace(const QString &path, const FileIdentity &expected,
                                          QByteArrayView bytes) {
    bool readable = false;
    FileDescriptor file(openForOverwrite(path, readable));
    if (file.get() < 0) return writeErrorFromErrno(errno);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return writeErrorFromErrno(errno);
    if (!S_ISREG(status.st_mode)) return FileError{FileError::Kind::NotRegularFile, {}};
    if (FileIdentity::of(status) != expected) return FileError{FileError::Kind::Replaced, {}};
    const qint64 oldSize = status.st_size;

    // Every check comes before anything touches the file. Putting the old bytes back writes as
    // far as the old length, so that must be within the size limit too.
    if (!fileSizeLimitAllows(bytes.size()) || (readable && !fileSizeLimitAllows(oldSize)))
        return FileError{FileError::Kind::SizeLimit, {}};

    std::optional<QByteArray> old;
    if (readable) {
        old = readAll(file.get(), oldSize);
        if (!old) return writeErrorFromErrno(errno);
    }
    switch (reserve(file.get(), bytes.size())) {
        case Reservation::Made:
            break;
        case Reservation::NotSupported:
            // Without its old bytes a file must not be touched unless no write can fail.
            if (!old) return FileError{FileError::Kind::UnsafeInPlace, {}};
            break;
        case Reservation::Failed: {
            const int error = errno;
            // A file system that gave part of the space may have grown the file by it.
            (void)::ftruncate(file.get(), oldSize);
            return writeErrorFromErrno(error);
        }
    }

    int error = writeAllAt(file.get(), bytes, 0);
    if (error == 0 && bytes.size() < oldSize && ::ftruncate(file.get(), bytes.size()) != 0)
        error = errno;
    if (error == 0 && ::fdatasync(file.get()) != 0 && errno != EINVAL) error = errno;
    if (error != 0) {
        if (old) (void)writeAllAt(file.get(), *old, 0);
        (void)::ftruncate(file.get(), oldSize);
        // Put back as it was, time stamp included, so that build tools see nothing new.
        const timespec times[2] = {status.st_atim, status.st_mtim};
        (void)::futimens(file.get(), times);
        return writeErrorFromErrno(error);
    }
    if (const int closeError = file.close()) return writeErrorFromErrno(closeError);
    return std::nullopt;
}
