#include "core/files/file_error_posix.h"

#include <cerrno>
#include <cstring>
#include <optional>

namespace {

using Kind = FileError::Kind;

// The errors that mean the same whether the file was to be read or written.
std::optional<Kind> commonKind(int error) {
    switch (error) {
        case EISDIR:
            return Kind::IsDirectory;
        case ENXIO:  // a FIFO without a reader, a socket, or a device without its driver
        case ENODEV:
            return Kind::NotRegularFile;
        case EROFS:
            return Kind::ReadOnlyFileSystem;
        case ETXTBSY:
        case EBUSY:
            return Kind::InUse;
        case EIO:
            return Kind::DeviceError;
        case ENAMETOOLONG:
            return Kind::NameTooLong;
        case EINVAL:  // characters such as ':' on a FAT or exFAT stick
        case EILSEQ:
            return Kind::InvalidName;
        case ELOOP:
            return Kind::LinkLoop;
        case EMFILE:
        case ENFILE:
            return Kind::TooManyOpenFiles;
        case ENOMEM:
            return Kind::OutOfMemory;
        case ENOTCONN:  // sshfs and other FUSE file systems whose connection is gone
        case ESTALE:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ETIMEDOUT:
            return Kind::Disconnected;
        default:
            return std::nullopt;
    }
}

FileError errorOfKind(Kind kind) {
    return {kind, {}};
}

FileError otherError(int error) {
    if (const auto kind = commonKind(error)) return errorOfKind(*kind);
    return {Kind::Other, systemErrorName(error)};
}

}  // namespace

QString systemErrorName(int error) {
    if (const char *name = strerrorname_np(error)) return QString::fromLatin1(name);
    return QString::number(error);
}

FileError readErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return errorOfKind(Kind::NotFound);
        case EACCES:
        case EPERM:
            return errorOfKind(Kind::NoReadPermission);
        case EFBIG:
        case EOVERFLOW:
            return errorOfKind(Kind::TooLarge);
        default:
            return otherError(error);
    }
}

FileError writeErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return errorOfKind(Kind::FolderMissing);
        case EACCES:
        case EPERM:
            return errorOfKind(Kind::NoWritePermission);
        case ENOSPC:
            return errorOfKind(Kind::DiskFull);
        case EFBIG:
            return errorOfKind(Kind::SizeLimit);
        case EDQUOT:
            return errorOfKind(Kind::QuotaExceeded);
        default:
            return otherError(error);
    }
}
