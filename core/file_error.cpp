#include "core/file_error.h"

#include <cerrno>
#include <cstring>

QString systemErrorText(int error) {
    char buffer[256];
    // GNU strerror_r returns the message, which need not be in buffer.
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

FileError readErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return {FileError::Kind::NotFound, {}};
        case EACCES:
        case EPERM:
            return {FileError::Kind::NoReadPermission, {}};
        case EISDIR:
            return {FileError::Kind::IsDirectory, {}};
        case EFBIG:
        case EOVERFLOW:
            return {FileError::Kind::TooLarge, {}};
        case ENXIO:  // a socket, or a device without its driver
        case ENODEV:
            return {FileError::Kind::NotRegularFile, {}};
        default:
            return {FileError::Kind::Other, systemErrorText(error)};
    }
}

FileError writeErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return {FileError::Kind::FolderMissing, {}};
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return {FileError::Kind::NoWritePermission, {}};
        case EISDIR:
            return {FileError::Kind::IsDirectory, {}};
        case ENXIO:  // a FIFO without a reader, a socket, or a device without its driver
        case ENODEV:
            return {FileError::Kind::NotRegularFile, {}};
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return {FileError::Kind::DiskFull, {}};
        default:
            return {FileError::Kind::Other, systemErrorText(error)};
    }
}
